// Frame building inside the transfer completion, in the steps a reader thinks in: claim a
// raw-frame buffer, append a transfer, recognise a complete frame, hand it on. Runs at up to
// DISPATCH_LEVEL and takes no lock for the buffers: the bus driver completes the video pipe's
// transfers one at a time, in submission order.
//
// The raw-frame buffers are a ring: the completion takes RawFrames[RawWriteIndex] for a new
// frame; the stream that took a complete frame gives its buffer back with ReleaseRawFrame
// (RawReleaseIndex). While the next buffer is still held, the newest frame is assembled over
// the one before.
#pragma once

#include "driver/device_context.h"

enum class FrameProgress {
    Incomplete,  // more transfers expected
    Complete,    // the frame's short last transfer arrived with the expected length
    Dropped,     // transfer sizes out of step: the partial frame is discarded
};

// The format's framing: a raw frame of Width x Height bytes arrives as whole transfers of
// kTransferBytes and one short transfer of the rest (TransfersPerFrame, LastTransferBytes);
// assembly restarts at a frame boundary. PASSIVE_LEVEL, while the engine is stopped.
void SetRawFrameGeometry(DeviceContext* Device, ULONG Width, ULONG Height);

// At each start: buffer 0 comes first, no buffer is held, the first good transfer claims one.
void ResetFrameAssembly(DeviceContext* Device);

// The first good transfer after a hand-off takes the next RawFrames buffer, unless the stream
// still holds it; then the current buffer is overwritten.
void ClaimRawFrame(DeviceContext* Device);

// Copies one received transfer into FillingFrame at its place in the frame.
FrameProgress AppendTransfer(DeviceContext* Device, const UCHAR* Data, ULONG Length);

// True when a complete frame may be handed on: the buffer after it is not still held, so
// the next frame has somewhere to go.
bool RawFrameCanBeHandedOn(const DeviceContext* Device);

// The stream took the frame in FillingFrame: the next good transfer starts a new buffer.
void RawFrameHandedOn(DeviceContext* Device);

// The stream is done with the oldest buffer it took. Any IRQL <= DISPATCH_LEVEL.
void ReleaseRawFrame(DeviceContext* Device);
