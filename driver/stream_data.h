// The capture stream's data routine: read requests.
#pragma once

#include "driver/device_context.h"

// ReceiveDataPacket of the capture stream object. Called by the framework at PASSIVE_LEVEL,
// not serialised with the other request routines. Queues SRB_READ_DATA while running; the
// request is completed later by the frame timer, a cancel or a flush.
void STREAMAPI CaptureReceiveDataPacket(PHW_STREAM_REQUEST_BLOCK Srb);

// Status of a read that arrives while all sixteen queue slots hold pending requests.
constexpr NTSTATUS kReadQueueFullStatus = STATUS_INSUFFICIENT_RESOURCES;
