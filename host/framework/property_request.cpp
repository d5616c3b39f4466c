#include "host/framework/property_request.h"

#include <cstring>
#include <vector>

#include "host/framework/property_check.h"

namespace host::framework {
namespace {

// The KSPROPERTY the minidriver sees, followed by the caller's bytes past their own header.
std::vector<uint64_t> BuildPropertyInput(const PropertyCall& call, bool isSet) {
    std::vector<uint64_t> words((call.InputSize + 7) / 8 + 1, 0);
    auto* bytes = reinterpret_cast<UCHAR*>(words.data());
    if (call.InputSize > sizeof(KSPROPERTY) && call.Data != nullptr) {
        const ULONG extra = std::min(call.InputSize, call.DataSize);
        if (extra > sizeof(KSPROPERTY)) {
            std::memcpy(bytes + sizeof(KSPROPERTY),
                        static_cast<const UCHAR*>(call.Data) + sizeof(KSPROPERTY),
                        extra - sizeof(KSPROPERTY));
        }
    }
    KSPROPERTY property{};
    property.Set = call.Set;
    property.Id = call.Id;
    property.Flags = isSet ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET;
    std::memcpy(bytes, &property, std::min<size_t>(sizeof(property), call.InputSize));
    return words;
}

}  // namespace

NTSTATUS SendPropertyRequest(FrameworkAdapter& adapter, FrameworkStream* stream,
                             const PropertyCall& call, bool isSet, ULONG* bytesReturned) {
    if (bytesReturned != nullptr) *bytesReturned = 0;
    const KSPROPERTY_SET* sets;
    ULONG setCount;
    if (stream == nullptr) {
        sets = adapter.StreamHeader().DevicePropertiesArray;
        setCount = adapter.StreamHeader().NumDevPropArrayEntries;
    } else {
        const HW_STREAM_INFORMATION* info =
            adapter.StreamInformation(stream->Object()->StreamNumber);
        sets = info->StreamPropertiesArray;
        setCount = info->NumStreamPropArrayEntries;
    }
    const PropertyLookup lookup = CheckPropertyRequest(sets, setCount, call.Set, call.Id, isSet,
                                                       call.InputSize, call.DataSize);
    if (lookup.Status == STATUS_BUFFER_OVERFLOW && bytesReturned != nullptr) {
        *bytesReturned = lookup.Needed;
    }
    if (!NT_SUCCESS(lookup.Status)) return lookup.Status;

    std::vector<uint64_t> input = BuildPropertyInput(call, isSet);
    SRB_COMMAND command;
    RequestKind kind;
    if (stream == nullptr) {
        command = isSet ? SRB_SET_DEVICE_PROPERTY : SRB_GET_DEVICE_PROPERTY;
        kind = RequestKind::Adapter;
    } else {
        command = isSet ? SRB_SET_STREAM_PROPERTY : SRB_GET_STREAM_PROPERTY;
        kind = RequestKind::StreamControl;
    }
    Request* request = adapter.NewRequest(kind, stream, command);
    STREAM_PROPERTY_DESCRIPTOR& descriptor = request->PropertyDescriptor;
    descriptor.Property = reinterpret_cast<PKSPROPERTY>(input.data());
    descriptor.PropertySetID = lookup.SetIndex;
    descriptor.PropertyInfo = call.Data;
    descriptor.PropertyInputSize = call.InputSize;
    descriptor.PropertyOutputSize = call.DataSize;
    request->Srb.CommandData.PropertyInfo = &descriptor;
    const NTSTATUS status = adapter.SendAndWait(request);
    if (bytesReturned != nullptr) *bytesReturned = request->Srb.ActualBytesTransferred;
    adapter.FreeRequest(request);
    return status;
}

}  // namespace host::framework
