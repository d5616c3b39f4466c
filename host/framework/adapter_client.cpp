// The client's view of one adapter.
#include "host/framework/adapter.h"
#include "host/framework/client.h"
#include "host/framework/property_request.h"

namespace host {

using framework::FrameworkAdapter;
using framework::FrameworkStream;
using framework::Request;
using framework::RequestKind;

AdapterClient::AdapterClient(std::shared_ptr<FrameworkAdapter> adapter)
    : adapter_(std::move(adapter)) {}

AdapterClient::~AdapterClient() { Uninitialize(); }

PVOID AdapterClient::DeviceExtension() { return adapter_->DeviceExtension(); }

ULONG AdapterClient::StreamDescriptorSize() const { return adapter_->StreamDescriptorSize(); }

const HW_STREAM_HEADER& AdapterClient::StreamHeader() const { return adapter_->StreamHeader(); }

const HW_STREAM_INFORMATION* AdapterClient::StreamInformation(ULONG streamNumber) const {
    return adapter_->StreamInformation(streamNumber);
}

std::vector<const KSDATARANGE*> AdapterClient::Formats(ULONG streamNumber) const {
    std::vector<const KSDATARANGE*> formats;
    const HW_STREAM_INFORMATION* info = StreamInformation(streamNumber);
    if (info == nullptr) return formats;
    for (ULONG i = 0; i < info->NumberOfFormatArrayEntries; ++i) {
        formats.push_back(info->StreamFormatsArray[i]);
    }
    return formats;
}

NTSTATUS AdapterClient::Intersect(ULONG streamNumber, const KSDATARANGE* range, void* buffer,
                                  ULONG bufferSize, ULONG* bytesReturned) {
    STREAM_DATA_INTERSECT_INFO info{};
    info.StreamNumber = streamNumber;
    info.DataRange = const_cast<PKSDATARANGE>(range);
    info.DataFormatBuffer = buffer;
    info.SizeOfDataFormatBuffer = bufferSize;
    return SendRequest(
        SRB_GET_DATA_INTERSECTION,
        [&info](HW_STREAM_REQUEST_BLOCK& srb) { srb.CommandData.IntersectInfo = &info; },
        bytesReturned);
}

NTSTATUS AdapterClient::OpenStream(ULONG streamNumber, const KSDATAFORMAT* format,
                                   std::unique_ptr<StreamClient>* stream) {
    std::unique_ptr<FrameworkStream> opened;
    const NTSTATUS status = adapter_->OpenStream(streamNumber, format, &opened);
    if (NT_SUCCESS(status)) *stream = std::make_unique<StreamClient>(adapter_, std::move(opened));
    return status;
}

NTSTATUS AdapterClient::GetProperty(const PropertyCall& call, ULONG* bytesReturned) {
    return framework::SendPropertyRequest(*adapter_, nullptr, call, false, bytesReturned);
}

NTSTATUS AdapterClient::SetProperty(const PropertyCall& call) {
    return framework::SendPropertyRequest(*adapter_, nullptr, call, true, nullptr);
}

NTSTATUS AdapterClient::SendRequest(SRB_COMMAND command, const FillRequest& fill,
                                    ULONG* bytesReturned) {
    Request* request = adapter_->NewRequest(RequestKind::Adapter, nullptr, command);
    if (fill) fill(request->Srb);
    const NTSTATUS status = adapter_->SendAndWait(request);
    if (bytesReturned != nullptr) *bytesReturned = request->Srb.ActualBytesTransferred;
    adapter_->FreeRequest(request);
    return status;
}

size_t AdapterClient::PendingRequests() const { return adapter_->PendingCount(); }

NTSTATUS AdapterClient::Uninitialize() { return adapter_->Stop(); }

}  // namespace host
