// The frame work item: one raw frame through the image pipeline into its read request, which
// is then parked in the FrameRing for the frame timer to deliver.
#pragma once

#include "platform/kernel.h"

// Work-item routine queued by the transfer completion (Context = FrameWorkContext). Runs at
// PASSIVE_LEVEL on a system worker thread, at most one per device at a time. Never completes
// a request successfully; frees the work item and the context and releases the gate.
IO_WORKITEM_ROUTINE ProcessFrame;
