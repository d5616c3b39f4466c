// The capture stream's control routine: stream state, formats and stream properties.
#pragma once

#include "driver/device_context.h"

// ReceiveControlPacket of the capture stream object. Called by the framework at PASSIVE_LEVEL,
// not serialised with the other request routines; completes the request before returning.
void STREAMAPI CaptureReceiveControlPacket(PHW_STREAM_REQUEST_BLOCK Srb);

// SRB_SET_STREAM_STATE: stores the new state and starts or stops the camera, the streaming
// engine and the frame timer as the transition asks. Returns the request's status.
NTSTATUS SetCaptureStreamState(DeviceContext* Device, StreamContext* Stream, KSSTATE NewState);
