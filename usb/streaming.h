// The streaming engine: while the capture stream is not stopped it keeps up to ten 512 KiB bulk
// reads on the video pipe, assembles raw frames from consecutive transfers into the RawFrames
// ring, and hands each complete frame to the stream it feeds; it recovers from transfer errors
// by resetting the port and the pipe.
#pragma once

#include "driver/device_context.h"
#include "platform/io.h"

// What the engine asks of the stream it feeds: installed in DeviceContext.StreamingClient by
// the driver before the first start.
struct StreamingClient {
    // A raw frame is complete in RawFrame: hand it on. TRUE when it was taken (the buffer is
    // the taker's until ReleaseRawFrame); FALSE drops it, and the next frame is assembled over
    // it. Called by the transfer completion at up to DISPATCH_LEVEL.
    BOOLEAN (*FrameAssembled)(DeviceContext* Device, PUCHAR RawFrame);
    // The reader thread is leaving (asked to, or because the camera is gone or cannot be
    // recovered): whatever waits for frames must be told now. PASSIVE_LEVEL, on the reader
    // thread, which must not be waited for here.
    VOID (*StreamingEnded)(DeviceContext* Device);
};

// Resets the pipes and the frame assembly, and starts the reader thread. Called by the
// stream-state handler at PASSIVE_LEVEL after the run code went out. STATUS_UNSUCCESSFUL
// without an open stream; the status of a pipe request, of the thread's creation or of its
// reference when one fails, and then no reader thread runs.
NTSTATUS StartStreaming(DeviceContext* Device);

// Wakes and joins the reader thread, resets both pipes and releases every transfer slot. A
// frame taken by the stream may still be worked on. PASSIVE_LEVEL; never from the reader thread.
void StopStreaming(DeviceContext* Device);

// The reader thread (a system thread, one per running stream; StartContext = DeviceContext).
KSTART_ROUTINE ReaderThread;

// Completion routine of every transfer slot's IRP (Context = DeviceContext), called by the bus
// driver at up to DISPATCH_LEVEL, one video transfer at a time in submission order. Always
// returns STATUS_MORE_PROCESSING_REQUIRED: the slot IRPs are reused, never completed upward.
IO_COMPLETION_ROUTINE TransferCompletion;
