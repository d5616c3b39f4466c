// The capture stream: open, close, stop-and-flush, and the two stream routines installed in
// the stream object at open.
#pragma once

#include "driver/device_context.h"
#include "driver/stream_control.h"
#include "driver/stream_data.h"
#include "platform/strmini.h"

// SRB_OPEN_STREAM; called by AdapterReceivePacket at PASSIVE_LEVEL. Sets srb->Status: the
// stream object is left untouched unless the open succeeds.
void OpenCaptureStream(PHW_STREAM_REQUEST_BLOCK Srb);

// The stop of the camera's side: the streaming engine stops, the frame work item finishes,
// every read still queued or parked completes as cancelled, and the settings are saved (also
// when no stream is open). PASSIVE_LEVEL.
void StopCaptureEngine(DeviceContext* Device);

// Stops the stream and completes every queued or parked read as cancelled. Nothing when no
// stream is open. PASSIVE_LEVEL.
void StopAndFlushStream(DeviceContext* Device);

// The close work of SRB_CLOSE_STREAM and SRB_UNINITIALIZE_DEVICE: stops and flushes the stream,
// takes it out of the DeviceContext, ends the frame timer chain (waiting for a queued or
// running FrameTimerDpc) and frees the StreamContext. Nothing when no stream is open; a second
// close finds nothing. PASSIVE_LEVEL.
void CloseCaptureStream(DeviceContext* Device);
