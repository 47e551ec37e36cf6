#pragma once
// A tree that breaks the layer order on purpose, to show that the check sees it.
#include "base/fine.h"
#include "store/upward.h"
