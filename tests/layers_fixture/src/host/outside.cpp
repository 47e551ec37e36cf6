#include "handoff/sibling.h"
#include "support/host_session.h"
