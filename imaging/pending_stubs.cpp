// PROVISIONAL: the calibration captures belong to the calibration-file code in controls/,
// which replaces these definitions (and deletes this file) when it lands. Until then a
// capture request changes nothing but its own flag.
#include "driver/device_context.h"

VOID CaptureGainMap(ULONG Width, ULONG Height, PUCHAR Frame, DeviceContext* Device) {
    WriteOnce(Device->GainMapCapture, 0u);
}

VOID CaptureDefectTable(PUCHAR Frame, ULONG Height, ULONG Width, DeviceContext* Device,
                        PULONG DefectCount) {}
