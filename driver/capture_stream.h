// The capture stream: open, stop-and-flush, the two stream routines installed in the stream
// object at open, and the frame-rate timer routine.
#pragma once

#include "driver/device_context.h"
#include "platform/strmini.h"

// SRB_OPEN_STREAM; called by AdapterReceivePacket at PASSIVE_LEVEL. Sets srb->Status.
void OpenCaptureStream(PHW_STREAM_REQUEST_BLOCK Srb);

// Stops the stream and completes every queued or parked read as cancelled. Nothing when no
// stream is open. PASSIVE_LEVEL.
void StopAndFlushStream(DeviceContext* Device);

// Stream routines; the framework calls them at PASSIVE_LEVEL, not serialised.
void CaptureReceiveDataPacket(PHW_STREAM_REQUEST_BLOCK Srb);
void CaptureReceiveControlPacket(PHW_STREAM_REQUEST_BLOCK Srb);
