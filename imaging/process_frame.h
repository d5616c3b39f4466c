// The per-frame stage sequence: raw-domain corrections in place on the raw frame, then the
// picture in the read request's buffer, overlays, and the CommandBlock send that carries
// property changes to the camera.
#pragma once

#include "platform/types.h"

struct DeviceContext;

// What the sequence does outside the image itself: talk to the camera and capture the
// calibration tables (which write their files). The frame work item uses the driver's own;
// the offline tool and the tests supply theirs.
struct FRAME_STAGE_ACTIONS {
    NTSTATUS (*SendCommandBlock)(DeviceContext* Device);
    VOID (*CaptureDefectTable)(PUCHAR Frame, ULONG Height, ULONG Width, DeviceContext* Device,
                               PULONG DefectCount);
    VOID (*CaptureGainMap)(ULONG Width, ULONG Height, PUCHAR Frame, DeviceContext* Device);
};

extern const FRAME_STAGE_ACTIONS DriverFrameStageActions;

// Called by ProcessFrame on the frame work item (PASSIVE_LEVEL) once the guard has passed.
// Raw is a raw-frame buffer of kRawFrameBytes holding FrameWidth x FrameHeight samples; it is
// corrected in place. Output is the request's data buffer of OutputLength bytes.
//
// In order: the defect-capture countdown, defect correction, automatic or one-push exposure
// (every 4th / 2nd eligible frame by ExposureFrameDivider), one-push white balance, colour
// gains, tone table, gain-map capture, flat field, contrast; then for 24 bits per pixel the
// demosaic, saturation, edge repair, busy marker and crosshair, for any other bit count a copy
// of the raw frame; finally the CommandBlock when SettingsChanged is 1.
//
// Frames the stages cannot walk safely (width not a multiple of 8, height odd or below 4, more
// samples than a raw-frame buffer holds) skip the image stages; a 24-bit picture that does not
// fit in OutputLength is not drawn. The part of the output the sequence does not fill, up to
// the smaller of ImageSize and OutputLength, is zeroed.
VOID RunFrameStages(DeviceContext* Device, PUCHAR Raw, PUCHAR Output, ULONG OutputLength);

VOID RunFrameStagesWithActions(DeviceContext* Device, PUCHAR Raw, PUCHAR Output,
                               ULONG OutputLength, const FRAME_STAGE_ACTIONS* Actions);
