// The client's view of one open stream: state, formats, properties and reads.
#include "host/framework/adapter.h"
#include "host/framework/client.h"
#include "host/framework/property_request.h"

namespace host {

using framework::FrameworkAdapter;
using framework::FrameworkStream;
using framework::Request;
using framework::RequestKind;

namespace {

CompletedRead DescribeRead(const Request& request) {
    const KSSTREAM_HEADER& header = request.Read.Header;
    const KS_FRAME_INFO& frame = request.Read.FrameInfo;
    CompletedRead read;
    read.Id = request.Id;
    read.Status = request.Srb.Status;
    read.Buffer = header.Data;
    read.BufferSize = header.FrameExtent;
    read.DataUsed = header.DataUsed;
    read.OptionsFlags = header.OptionsFlags;
    read.PresentationTime = header.PresentationTime.Time;
    read.PresentationNumerator = header.PresentationTime.Numerator;
    read.PresentationDenominator = header.PresentationTime.Denominator;
    read.Duration = header.Duration;
    read.PictureNumber = frame.PictureNumber;
    read.DropCount = frame.DropCount;
    read.FrameFlags = frame.dwFrameFlags;
    read.CompletionTime = request.CompletionTime;
    return read;
}

}  // namespace

StreamClient::StreamClient(std::shared_ptr<FrameworkAdapter> adapter,
                           std::unique_ptr<FrameworkStream> stream)
    : adapter_(std::move(adapter)), stream_(std::move(stream)) {}

StreamClient::~StreamClient() {
    Close();
    TakeCompletedReads();
}

PHW_STREAM_OBJECT StreamClient::StreamObject() { return stream_->Object(); }

NTSTATUS StreamClient::SendControl(SRB_COMMAND command, const FillRequest& fill,
                                   ULONG* bytesReturned) {
    Request* request = adapter_->NewRequest(RequestKind::StreamControl, stream_.get(), command);
    if (fill) fill(request->Srb);
    const NTSTATUS status = adapter_->SendAndWait(request);
    if (bytesReturned != nullptr) *bytesReturned = request->Srb.ActualBytesTransferred;
    adapter_->FreeRequest(request);
    return status;
}

NTSTATUS StreamClient::SetState(KSSTATE state) {
    return SendControl(SRB_SET_STREAM_STATE, [state](HW_STREAM_REQUEST_BLOCK& srb) {
        srb.CommandData.StreamState = state;
    });
}

NTSTATUS StreamClient::GetState(KSSTATE* state) {
    KSSTATE answer = KSSTATE_STOP;
    Request* request =
        adapter_->NewRequest(RequestKind::StreamControl, stream_.get(), SRB_GET_STREAM_STATE);
    const NTSTATUS status = adapter_->SendAndWait(request);
    answer = request->Srb.CommandData.StreamState;
    adapter_->FreeRequest(request);
    *state = answer;
    return status;
}

NTSTATUS StreamClient::ProposeFormat(const KSDATAFORMAT* format) {
    return SendControl(SRB_PROPOSE_DATA_FORMAT, [format](HW_STREAM_REQUEST_BLOCK& srb) {
        srb.CommandData.OpenFormat = const_cast<PKSDATAFORMAT>(format);
    });
}

NTSTATUS StreamClient::SetFormat(const KSDATAFORMAT* format) {
    return SendControl(SRB_SET_DATA_FORMAT, [format](HW_STREAM_REQUEST_BLOCK& srb) {
        srb.CommandData.OpenFormat = const_cast<PKSDATAFORMAT>(format);
    });
}

NTSTATUS StreamClient::GetProperty(const PropertyCall& call, ULONG* bytesReturned) {
    return framework::SendPropertyRequest(*adapter_, stream_.get(), call, false, bytesReturned);
}

NTSTATUS StreamClient::SetProperty(const PropertyCall& call) {
    return framework::SendPropertyRequest(*adapter_, stream_.get(), call, true, nullptr);
}

uint64_t StreamClient::QueueRead(void* buffer, ULONG size, ULONG timeoutSeconds) {
    Request* request =
        adapter_->NewRequest(RequestKind::StreamData, stream_.get(), SRB_READ_DATA);
    KSSTREAM_HEADER& header = request->Read.Header;
    header.Size = sizeof(framework::ReadHeaders);
    header.FrameExtent = size;
    header.Data = buffer;
    request->Read.FrameInfo.ExtendedHeaderSize = sizeof(KS_FRAME_INFO);
    HW_STREAM_REQUEST_BLOCK& srb = request->Srb;
    srb.CommandData.DataBufferArray = &header;
    srb.NumberOfBuffers = 1;
    srb.NumberOfBytesToTransfer = size;
    srb.TimeoutOriginal = srb.TimeoutCounter = timeoutSeconds;
    reads_.push_back(request);
    const uint64_t id = request->Id;
    adapter_->SendData(request);
    return id;
}

bool StreamClient::CancelRead(uint64_t id) {
    for (Request* request : reads_) {
        if (request->Id == id) return adapter_->Cancel(request);
    }
    return false;
}

size_t StreamClient::PendingReads() const { return adapter_->PendingCount(stream_.get()); }

std::vector<CompletedRead> StreamClient::TakeCompletedReads() {
    std::vector<CompletedRead> completed;
    for (Request* request : adapter_->TakeCompletedReads(stream_.get())) {
        completed.push_back(DescribeRead(*request));
        std::erase(reads_, request);
        adapter_->FreeRequest(request);
    }
    return completed;
}

bool StreamClient::WaitForCompletedRead(LONGLONG timeout) {
    return adapter_->WaitForCompletedRead(stream_.get(), timeout);
}

NTSTATUS StreamClient::Close() {
    if (closed_) return STATUS_SUCCESS;
    closed_ = true;
    return adapter_->CloseStream(stream_.get());
}

}  // namespace host
