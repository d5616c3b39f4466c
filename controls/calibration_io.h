// File access shared by the calibration loader and the captures (controls/ only).
#pragma once

#include "platform/kernel.h"
#include "platform/types.h"

// Opens an existing calibration file for reading.
BOOLEAN OpenCalibrationForReading(PCWSTR Name, PHANDLE File);
// Reads from the start of the file; FALSE when the read fails (an empty file included).
BOOLEAN ReadCalibration(HANDLE File, PVOID Buffer, ULONG Length, PULONG BytesRead);
// Replaces the file with Data, whole or not at all (a temporary file renamed over it); a
// failure returns its status and leaves the previous file as it was.
NTSTATUS WriteCalibrationFile(PCWSTR Name, const VOID* Data, ULONG Length);
