#pragma once
#include "child_process/child_process.h"
