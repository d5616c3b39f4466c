// Keeping what a capture computed: the capture file for the width, replaced whole.
#include "controls/calibration.h"
#include "controls/calibration_io.h"
#include "usb/trace.h"

VOID SaveGainMap(DeviceContext* Device, ULONG Width, ULONG Height) {
    const ULONGLONG Pixels = static_cast<ULONGLONG>(Width) * Height;
    if (Pixels > kGainMapEntries) return;  // nothing was captured
    const NTSTATUS Status = WriteCalibrationFile(GainMapFileName(Width, TRUE), Device->Pipeline.GainMap,
                                                 static_cast<ULONG>(Pixels) * sizeof(SHORT));
    if (!NT_SUCCESS(Status)) {
        TRACE_EVENT("gain map captured but not saved (%08X); the previous file stays",
                    TraceStatus(Status));
    }
}

VOID SaveDefectTable(DeviceContext* Device, ULONG Width) {
    const ULONG Bytes = ReadOnce(Device->Pipeline.DefectCount) * static_cast<ULONG>(sizeof(DefectEntry));
    const NTSTATUS Status =
        WriteCalibrationFile(DefectTableFileName(Width, TRUE), Device->Pipeline.DefectTable, Bytes);
    if (!NT_SUCCESS(Status)) {
        TRACE_EVENT("defect table captured but not saved (%08X); the previous file stays",
                    TraceStatus(Status));
    }
}
