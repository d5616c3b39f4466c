// The two calibration tables and their files, one pair per frame width in \SystemRoot: the
// per-pixel flat-field GainMap ("Vexa_<width>.dat", signed 16-bit gains, 64 = x1, raw order)
// and the DefectTable ("Vexa_<width>.bpt", DefectEntry records). Headerless little-endian.
//
// Loads read the files named for the width; captures write under a shorter list of widths and
// otherwise the "user" pair. No step touches more GainMap entries than it holds, whatever the
// frame size. All of it runs at PASSIVE_LEVEL (file calls).
#pragma once

#include "driver/device_context.h"

// The last step of LoadSettings: the GainMap from its file (unity gains for the frame when
// there is none) and the DefectTable from its file (empty when there is none; an unreadable
// or empty file keeps the table in effect).
VOID LoadCalibration(DeviceContext* Device, ULONG Width, ULONG Height);

// Called by ProcessFrame when GainMapCapture is set, on the raw frame after the colour gains
// and the tone table, before the flat field: clears the request, computes gains that bring
// every pixel to the brightness of the frame's centre, and writes them to the file.
VOID CaptureGainMap(ULONG Width, ULONG Height, PUCHAR Frame, DeviceContext* Device);

// Called by ProcessFrame at the defect-capture step, on the raw frame before defect
// correction: records every pixel that stands out from its same-colour neighbours on both
// axes (at most kDefectTableEntries), updating *DefectCount row by row, and writes the file.
VOID CaptureDefectTable(PUCHAR Frame, ULONG Height, ULONG Width, DeviceContext* Device,
                        PULONG DefectCount);

// The file names, for tests and tools: ForCapture selects the captures' shorter list.
PCWSTR GainMapFileName(ULONG Width, BOOLEAN ForCapture);
PCWSTR DefectTableFileName(ULONG Width, BOOLEAN ForCapture);
