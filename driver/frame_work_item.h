// The frame work item: one raw frame through the image pipeline into its read request, which
// is then parked in the FrameRing for the frame timer to deliver.
#pragma once

#include "driver/device_context.h"
#include "platform/io.h"

// The record handed to the frame work item (four words on the 32-bit platform): allocated by
// the hand-off for each delivered frame, freed by the work item.
struct FrameWorkContext {
    DeviceContext* Device;
    PHW_STREAM_REQUEST_BLOCK Request;  // the read request the frame is written into
    PIO_WORKITEM WorkItem;
    PUCHAR RawFrame;  // the RawFrames buffer holding the frame
};
static_assert(sizeof(void*) != 4 || sizeof(FrameWorkContext) == 16);

// Work-item routine queued by the hand-off (Context = FrameWorkContext). Runs at PASSIVE_LEVEL
// on a system worker thread, at most one per device at a time. Never completes a request
// successfully; frees the work item and the context and releases the gate.
IO_WORKITEM_ROUTINE ProcessFrame;
