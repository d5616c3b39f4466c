// The static stream description: capture stream 0 and its template stream object.
#include "driver/stream_description.h"

#include "driver/capture_stream.h"
#include "driver/formats.h"
#include "driver/property_sets.h"

namespace {

constexpr GUID kCaptureCategories[] = {KSCATEGORY_VIDEO, KSCATEGORY_CAPTURE};

constexpr KSPIN_MEDIUM kCaptureMediums[] = {{{{KSMEDIUMSETID_Standard, 0, 0}}}};

// The platform's stream information points at its category and name without const.
constinit GUID CapturePinName = PINNAME_VIDEO_CAPTURE;

}  // namespace

constinit KSTOPOLOGY CaptureTopology = {
    2,  kCaptureCategories,
    0,  nullptr,  // no nodes
    0,  nullptr,  // no connections
    nullptr,      // no node names
    0,
};

constinit const HW_STREAM_HEADER CaptureStreamHeader = {
    kStreamCount,
    sizeof(HW_STREAM_INFORMATION),
    kDevicePropertySetCount,
    DevicePropertySets,
    0,
    nullptr,  // no device events
    &CaptureTopology,
    nullptr,  // no device event routine
    0,
    nullptr,  // no device methods
};

constinit const HW_STREAM_INFORMATION CaptureStreamInfo = {
    1,  // one possible instance
    KSPIN_DATAFLOW_OUT,
    TRUE,  // data accessible
    kCaptureFormatCount,
    CaptureFormats,
    {nullptr, nullptr, nullptr, nullptr},
    kStreamPropertySetCount,
    StreamPropertySets,
    0,
    nullptr,  // no stream events
    &CapturePinName,
    &CapturePinName,
    1,
    kCaptureMediums,
    FALSE,  // not a bridge stream
    {0, 0},
};

constinit const HW_STREAM_OBJECT CaptureStreamTemplate = {
    0,
    kCaptureStreamNumber,
    nullptr,
    CaptureReceiveDataPacket,
    CaptureReceiveControlPacket,
    {nullptr, 0, {0, 0}},  // the stream offers no clock
    FALSE,                 // no DMA
    TRUE,                  // programmed I/O: the driver writes the buffers itself
    nullptr,
    kStreamHeaderMediaSpecific,
    0,      // no stream header workspace
    FALSE,  // no allocator
    nullptr,
    {0, 0},
};

const HW_STREAM_INFORMATION* StreamInformation(ULONG StreamNumber) {
    return StreamNumber == kCaptureStreamNumber ? &CaptureStreamInfo : nullptr;
}

const HW_STREAM_OBJECT* StreamObjectTemplate(ULONG StreamNumber) {
    return StreamNumber == kCaptureStreamNumber ? &CaptureStreamTemplate : nullptr;
}

void WriteStreamDescriptor(PHW_STREAM_DESCRIPTOR Descriptor) {
    Descriptor->StreamHeader = CaptureStreamHeader;
    // The device property sets go into the copy, so concurrent adapters never write the
    // shared header.
    Descriptor->StreamHeader.NumDevPropArrayEntries = kDevicePropertySetCount;
    Descriptor->StreamHeader.DevicePropertiesArray = DevicePropertySets;
    Descriptor->StreamInfo = CaptureStreamInfo;
}
