// The two calibration tables and their files, one pair per frame width in \SystemRoot: the
// per-pixel flat-field GainMap ("Vexa_<width>.dat", signed 16-bit gains, 64 = x1, raw order)
// and the DefectTable ("Vexa_<width>.bpt", DefectEntry records). Headerless little-endian.
// The tables live in the pipeline's record (Device->Pipeline); the captures that compute
// them are the frame sequence's (imaging/calibration_capture.h).
//
// Loads read the files named for the width; captures write under a shorter list of widths and
// otherwise the "user" pair. No step touches more GainMap entries than it holds, whatever the
// frame size. All of it runs at PASSIVE_LEVEL (file calls).
#pragma once

#include "controls/calibration_file_names.h"
#include "driver/device_context.h"

// The last step of LoadSettings: the GainMap from its file (unity gains for the frame when
// there is none) and the DefectTable from its file (empty when there is none; an unreadable
// or empty file keeps the table in effect).
VOID LoadCalibration(DeviceContext* Device, ULONG Width, ULONG Height);

// After a capture: the new table replaces the capture file for the width, whole or not at all.
// A file that cannot be written leaves the previous one as it was and one trace line; the new
// table stays in effect until the next load.
VOID SaveGainMap(DeviceContext* Device, ULONG Width, ULONG Height);
VOID SaveDefectTable(DeviceContext* Device, ULONG Width);
