// Frame building inside the transfer completion, in the steps a reader thinks in: claim a
// raw-frame buffer, append a transfer, recognise a complete frame, hand it off to the frame
// work item. Runs at up to DISPATCH_LEVEL and takes no lock for the buffers: the bus driver
// completes the video pipe's transfers one at a time, in submission order.
//
// The work-item gate: WorkItemsInFlight admits one frame work item at a time. Whoever takes it
// (the increment that returned 1) either starts a work item, which gives it back when done, or
// gives it back at once; frames completed while it is held only add to the count, which the
// holder drains to 0. FrameWorkIdle (StreamContext) is clear exactly while a work item is
// queued or running; the gate's release and the event change happen under DeviceLock.
#pragma once

#include "driver/device_context.h"

enum class FrameProgress {
    Incomplete,  // more transfers expected
    Complete,    // the frame's short last transfer arrived with the expected length
    Dropped,     // transfer sizes out of step: the partial frame is discarded
};

// The first good transfer after a hand-off takes the next RawFrames buffer, unless the work
// item still holds it; then the current buffer is overwritten.
void ClaimRawFrame(DeviceContext* Device);

// Copies one received transfer into FillingFrame at its place in the frame.
FrameProgress AppendTransfer(DeviceContext* Device, const UCHAR* Data, ULONG Length);

// A complete frame: starts the frame work item with the oldest read request when the
// FrameRing has room, a request is waiting, the gate is free and a raw buffer is free, in that
// order; otherwise the frame stays in FillingFrame and the next one overwrites it.
void HandOffFrame(DeviceContext* Device, StreamContext* Stream);

// Gives the gate back (draining it to 0) and signals FrameWorkIdle. Any IRQL <= DISPATCH_LEVEL.
void ReleaseFrameWorkGate(DeviceContext* Device, StreamContext* Stream);

// Waits until no frame work item is queued or running. PASSIVE_LEVEL.
void WaitForFrameWorkIdle(StreamContext* Stream);
