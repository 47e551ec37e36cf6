#include "handoff/sibling.h"
#include "store/upward.h"
