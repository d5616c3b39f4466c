// Kernel build: request packets, stack locations, completion routines and cancellation come
// from the platform's wdm.h, which platform/win32/kernel.h already includes.
#pragma once

#include "platform/win32/kernel.h"
