#pragma once
#include "base/fine.h"
