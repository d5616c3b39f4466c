// The C library's log10 for the kernel image, which no kernel module exports.
#include "platform/win32/x87_math.h"

extern "C" double log10(double Value) { return X87Log10(Value); }
