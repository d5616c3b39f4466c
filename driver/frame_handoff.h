// Between the streaming engine and the frame work item: a complete raw frame meets the oldest
// read request and becomes a work item, and the work-item gate that admits one at a time.
//
// The gate: WorkItemsInFlight admits one frame work item at a time. Whoever takes it (the
// increment that returned 1) either starts a work item, which gives it back when done, or
// gives it back at once; frames completed while it is held only add to the count, which the
// holder drains to 0. FrameWorkIdle (StreamContext) is clear exactly while a work item is
// queued or running; the gate's release and the event change happen under DeviceLock.
#pragma once

#include "driver/device_context.h"
#include "usb/streaming.h"

// The driver's side of the engine (installed at initialization): FrameAssembled starts the
// frame work item with the oldest read request when the FrameRing has room, a request is
// waiting and the gate is free, in that order; StreamingEnded cancels every read still
// queued or parked once no work item runs.
extern const StreamingClient DriverStreamingClient;

// At each start, before the engine runs: an empty FrameRing and an open gate.
void ResetFrameHandOff(DeviceContext* Device);

// Gives the gate back (draining it to 0) and signals FrameWorkIdle. Any IRQL <= DISPATCH_LEVEL.
void ReleaseFrameWorkGate(DeviceContext* Device, StreamContext* Stream);

// Waits until no frame work item is queued or running. PASSIVE_LEVEL.
void WaitForFrameWorkIdle(StreamContext* Stream);

// After the engine stopped: waits for the frame work item, then cancels every read still
// queued or parked. PASSIVE_LEVEL.
void CancelWaitingReads(DeviceContext* Device);
