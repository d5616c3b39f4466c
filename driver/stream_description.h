// The fixed description of the device that the framework reads once with SRB_GET_STREAM_INFO:
// one stream header, the capture stream's information record and its topology, and the
// template whose routines and flags are copied into the stream object at open.
#pragma once

#include "driver/device_context.h"
#include "platform/strmini.h"

// What the framework must allocate for SRB_GET_STREAM_INFO: the header and one record per
// stream (120 bytes on the 32-bit platform).
constexpr ULONG kStreamDescriptorSize =
    sizeof(HW_STREAM_HEADER) + kStreamCount * sizeof(HW_STREAM_INFORMATION);

// Media-specific bytes behind every stream header of a read request: one KS_FRAME_INFO.
constexpr ULONG kStreamHeaderMediaSpecific = 64;

extern KSTOPOLOGY CaptureTopology;
extern const HW_STREAM_HEADER CaptureStreamHeader;
extern const HW_STREAM_INFORMATION CaptureStreamInfo;
extern const HW_STREAM_OBJECT CaptureStreamTemplate;

// The stream information record of a stream number; null for a stream the driver lacks.
const HW_STREAM_INFORMATION* StreamInformation(ULONG StreamNumber);

// The stream-object template of a stream number; null for a stream the driver lacks.
const HW_STREAM_OBJECT* StreamObjectTemplate(ULONG StreamNumber);

// Writes the header and the stream records into the framework's descriptor buffer.
void WriteStreamDescriptor(PHW_STREAM_DESCRIPTOR Descriptor);
