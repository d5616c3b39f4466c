// Stream properties of the capture stream: the connection set's allocator framing and the
// current dropped-frame counts. Their item tables go into StreamPropertySets (with the video
// control set of the device properties), so the framework checks sizes before calling here.
#pragma once

#include "driver/device_context.h"

constexpr ULONG kConnectionStreamPropertyCount = 1;
constexpr ULONG kDroppedFramesStreamPropertyCount = 1;

// KSPROPSETID_Connection: KSPROPERTY_CONNECTION_ALLOCATORFRAMING, get only.
extern const KSPROPERTY_ITEM ConnectionStreamProperties[kConnectionStreamPropertyCount];
// PROPSETID_VIDCAP_DROPPEDFRAMES: KSPROPERTY_DROPPEDFRAMES_CURRENT, get only.
extern const KSPROPERTY_ITEM DroppedFramesStreamProperties[kDroppedFramesStreamPropertyCount];

// Frames the allocator is asked for: the FrameRing's capacity plus the one being filled.
constexpr ULONG kAllocatorFrames = 5;

// SRB_GET_STREAM_PROPERTY, from CaptureReceiveControlPacket at PASSIVE_LEVEL. Sets Status and
// ActualBytesTransferred.
void GetStreamProperty(DeviceContext* Device, StreamContext* Stream,
                       PHW_STREAM_REQUEST_BLOCK Srb);
