// Where the calibration files live: one pair per frame width in \SystemRoot, "Vexa_<width>.dat"
// (the GainMap) and "Vexa_<width>.bpt" (the DefectTable), or the "user" pair for widths without
// names of their own. The names are published: users and tools place and read these files.
#pragma once

#include "platform/types.h"

// ForCapture selects the captures' shorter list of widths; the loads use the full one.
PCWSTR GainMapFileName(ULONG Width, BOOLEAN ForCapture);
PCWSTR DefectTableFileName(ULONG Width, BOOLEAN ForCapture);
