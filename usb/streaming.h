// The streaming engine: while the capture stream is not stopped it keeps up to ten 512 KiB bulk
// reads on the video pipe, assembles raw frames from consecutive transfers into the RawFrames
// ring, and hands a complete frame with the oldest pending read request to the frame work
// item; it recovers from transfer errors by resetting the port and the pipe.
#pragma once

#include "driver/device_context.h"
#include "platform/io.h"

// The record handed to the frame work item (four words on the 32-bit platform): allocated by
// the transfer completion for each delivered frame, freed by the work item.
struct FrameWorkContext {
    DeviceContext* Device;
    PHW_STREAM_REQUEST_BLOCK Request;  // the read request the frame is written into
    PIO_WORKITEM WorkItem;
    PUCHAR RawFrame;  // the RawFrames buffer holding the frame
};
static_assert(sizeof(void*) != 4 || sizeof(FrameWorkContext) == 16);

// Resets the pipes, the frame indices and the gate, and starts the reader thread. Called by the
// stream-state handler at PASSIVE_LEVEL after the run code went out. STATUS_UNSUCCESSFUL
// without an open stream; the status of a pipe request, of the thread's creation or of its
// reference when one fails, and then no reader thread runs.
NTSTATUS StartStreaming(DeviceContext* Device);

// Wakes and joins the reader thread, resets both pipes, waits for a queued or running frame
// work item, cancels every queued and parked read request and releases every transfer slot;
// then saves the settings (also when no stream is open). PASSIVE_LEVEL; never from the reader
// thread.
void StopStreaming(DeviceContext* Device);

// The reader thread (a system thread, one per running stream; StartContext = DeviceContext).
KSTART_ROUTINE ReaderThread;

// Completion routine of every transfer slot's IRP (Context = DeviceContext), called by the bus
// driver at up to DISPATCH_LEVEL, one video transfer at a time in submission order. Always
// returns STATUS_MORE_PROCESSING_REQUIRED: the slot IRPs are reused, never completed upward.
IO_COMPLETION_ROUTINE TransferCompletion;
