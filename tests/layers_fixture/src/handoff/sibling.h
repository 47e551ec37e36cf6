#pragma once
#include "platform/child_process.h"
