// File access shared by the calibration loader and the captures (controls/ only).
#pragma once

#include "platform/types.h"
#include "platform/kernel.h"

// Opens an existing calibration file for reading.
BOOLEAN OpenCalibrationForReading(PCWSTR Name, PHANDLE File);
// Reads from the start of the file; FALSE when the read fails (an empty file included).
BOOLEAN ReadCalibration(HANDLE File, PVOID Buffer, ULONG Length, PULONG BytesRead);
// Creates or truncates the file and writes Data; failures are silent.
VOID WriteCalibrationFile(PCWSTR Name, const VOID* Data, ULONG Length);
