// The per-frame stage sequence: raw-domain corrections in place on the raw frame, then the
// picture in the read request's buffer and its overlays. It works on imaging's own records
// and reaches the device only through a FrameDevice, so the driver's frame work item, offline
// processing, the benchmarks and the tests all run the same sequence.
#pragma once

#include "imaging/frame_device.h"
#include "imaging/image_pipeline.h"
#include "imaging/image_settings.h"
#include "platform/types.h"

// The frame's format: the raw frame is Width x Height samples; BitCount 24 asks for the
// picture, any other value for the raw frame itself; ImageSize is what the output holds.
struct FrameShape {
    ULONG Width;
    ULONG Height;
    ULONG BitCount;
    ULONG ImageSize;
};

// Counts down the frames between exposure control steps; shared by every device and by both
// exposure controls (what one leaves over carries into the other). 1 at load.
extern LONG ExposureFrameDivider;

// Called by the frame work item (PASSIVE_LEVEL) once the guard has passed. Raw is a raw-frame
// buffer of kGainMapEntries bytes holding Width x Height samples; it is corrected in place.
// Output is the request's data buffer of OutputLength bytes.
//
// In order: the defect-capture countdown, defect correction, automatic or one-push exposure
// (every 4th / 2nd eligible frame by ExposureFrameDivider), one-push white balance, colour
// gains, tone table, gain-map capture, flat field, contrast; then for 24 bits per pixel the
// demosaic, saturation, edge repair, busy marker and crosshair, for any other bit count a copy
// of the raw frame.
//
// Frames the stages cannot walk safely (width not a multiple of 8, height odd or below 4, more
// samples than a raw-frame buffer holds) skip the image stages; a 24-bit picture that does not
// fit in OutputLength is not drawn. The part of the output the sequence does not fill, up to
// the smaller of ImageSize and OutputLength, is zeroed.
VOID RunFrameStages(const FrameShape& Shape, ImageSettings* Settings, ImagePipeline* Pipeline,
                    const FrameDevice& Device, PUCHAR Raw, PUCHAR Output, ULONG OutputLength);
