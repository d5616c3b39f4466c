// Kernel build: the Zw registry and file calls come from the platform's wdm.h; only the
// wide-literal spelling is ours. The platform's wide characters are 16-bit wchar_t here.
#pragma once

#include "platform/win32/io.h"

#define WIDE_TEXT(literal) (static_cast<PCWSTR>(L"" literal))
