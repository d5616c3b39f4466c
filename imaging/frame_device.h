// What the frame sequence needs from the device it serves, beyond the image: the camera's
// exposure (the exposure controls read it, change it and send it), and somewhere to keep a
// calibration table a capture has just computed. The driver supplies its own; offline
// processing, the benchmarks and the tests supply theirs.
#pragma once

#include "platform/types.h"

struct FrameDeviceCalls {
    // The exposure in force.
    ULONG (*ReadExposal)(PVOID Context);
    // Stores Exposal and sends the camera its parameters.
    VOID (*SendExposal)(PVOID Context, ULONG Exposal);
    // A capture has just replaced the gain map (Width x Height entries) or the defect table of
    // the pipeline's record; the device keeps them (the driver writes its files).
    VOID (*GainMapCaptured)(PVOID Context, ULONG Width, ULONG Height);
    VOID (*DefectTableCaptured)(PVOID Context, ULONG Width);
};

struct FrameDevice {
    const FrameDeviceCalls* Calls;
    PVOID Context;
};
