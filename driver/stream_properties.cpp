// Stream property requests: allocator framing and dropped frames.
#include "driver/stream_properties.h"

const KSPROPERTY_ITEM ConnectionStreamProperties[kConnectionStreamPropertyCount] = {
    DEFINE_KSPROPERTY_ITEM(KSPROPERTY_CONNECTION_ALLOCATORFRAMING, TRUE, sizeof(KSPROPERTY),
                           sizeof(KSALLOCATOR_FRAMING), FALSE, nullptr, 0, nullptr, nullptr, 0),
};

const KSPROPERTY_ITEM DroppedFramesStreamProperties[kDroppedFramesStreamPropertyCount] = {
    DEFINE_KSPROPERTY_ITEM(KSPROPERTY_DROPPEDFRAMES_CURRENT, TRUE,
                           sizeof(KSPROPERTY_DROPPEDFRAMES_CURRENT_S),
                           sizeof(KSPROPERTY_DROPPEDFRAMES_CURRENT_S), FALSE, nullptr, 0, nullptr,
                           nullptr, 0),
};

static void GetAllocatorFraming(const DeviceContext* Device, PHW_STREAM_REQUEST_BLOCK Srb,
                                PSTREAM_PROPERTY_DESCRIPTOR Property) {
    PKSALLOCATOR_FRAMING framing = static_cast<PKSALLOCATOR_FRAMING>(Property->PropertyInfo);
    framing->RequirementsFlags = KSALLOCATOR_REQUIREMENTF_PREFERENCES_ONLY |
                                 KSALLOCATOR_REQUIREMENTF_SYSTEM_MEMORY |
                                 KSALLOCATOR_REQUIREMENTF_INPLACE_MODIFIER;
    framing->PoolType = NonPagedPool;
    framing->Frames = kAllocatorFrames;
    framing->FrameSize = ReadOnce(Device->ImageSize);
    framing->FileAlignment = 0;
    framing->Reserved = 0;
    Srb->ActualBytesTransferred = sizeof(KSALLOCATOR_FRAMING);
}

// Read without a lock while the frame timer counts; each value is read once.
static void GetDroppedFrames(const DeviceContext* Device, const StreamContext* Stream,
                             PHW_STREAM_REQUEST_BLOCK Srb, PSTREAM_PROPERTY_DESCRIPTOR Property) {
    PKSPROPERTY_DROPPEDFRAMES_CURRENT_S dropped =
        static_cast<PKSPROPERTY_DROPPEDFRAMES_CURRENT_S>(Property->PropertyInfo);
    dropped->PictureNumber = ReadOnce(Stream->PictureNumber);
    dropped->DropCount = ReadOnce(Stream->DropCount);
    dropped->AverageFrameSize = ReadOnce(Device->ImageSize);
    Srb->ActualBytesTransferred = sizeof(KSPROPERTY_DROPPEDFRAMES_CURRENT_S);
}

void GetStreamProperty(DeviceContext* Device, StreamContext* Stream,
                       PHW_STREAM_REQUEST_BLOCK Srb) {
    PSTREAM_PROPERTY_DESCRIPTOR property = Srb->CommandData.PropertyInfo;
    const KSPROPERTY* request = property->Property;
    if (IsEqualGUID(request->Set, KSPROPSETID_Connection)) {
        if (request->Id == KSPROPERTY_CONNECTION_ALLOCATORFRAMING) {
            GetAllocatorFraming(Device, Srb, property);
        }
        return;
    }
    if (IsEqualGUID(request->Set, PROPSETID_VIDCAP_DROPPEDFRAMES)) {
        if (request->Id == KSPROPERTY_DROPPEDFRAMES_CURRENT) {
            GetDroppedFrames(Device, Stream, Srb, property);
        }
        return;
    }
    Srb->Status = STATUS_NOT_IMPLEMENTED;
}
