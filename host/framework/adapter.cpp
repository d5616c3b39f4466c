// The adapter's life cycle, request sending and completion.
#include "host/framework/adapter.h"

#include <atomic>
#include <chrono>

#include "host/kernel/page_residency.h"
#include "host/verifier/verifier.h"

namespace host::framework {
namespace {

// How long (real time) the framework waits for a request the minidriver should complete
// within its call before calling it a hang.
constexpr auto kCompletionLimit = std::chrono::seconds(60);

std::atomic<uint64_t> g_nextRequestId{1};

size_t WordsFor(size_t bytes) { return (bytes + sizeof(uint64_t) - 1) / sizeof(uint64_t); }

// The platform's framework locks a data request's buffers into memory before the minidriver
// sees the request, so the driver's writes into them never fault.
void LockDataBuffers(const HW_STREAM_REQUEST_BLOCK& srb) {
    if (srb.Command != SRB_READ_DATA || srb.CommandData.DataBufferArray == nullptr) return;
    for (ULONG i = 0; i < srb.NumberOfBuffers; ++i) {
        const KSSTREAM_HEADER& header = srb.CommandData.DataBufferArray[i];
        MakeResident(header.Data, header.FrameExtent);
    }
}

}  // namespace

FrameworkStream::FrameworkStream(FrameworkAdapter* adapter, ULONG streamNumber,
                                 ULONG extensionSize)
    : adapter_(adapter), extension_((WordsFor(extensionSize) + 1) * sizeof(uint64_t)) {
    object_.SizeOfThisPacket = sizeof(object_);
    object_.StreamNumber = streamNumber;
    object_.HwStreamExtension = extension_.data();
    object_.HwDeviceExtension = adapter->DeviceExtension();
}

FrameworkAdapter::FrameworkAdapter(PDRIVER_OBJECT driver,
                                   const HW_INITIALIZATION_DATA& registration,
                                   PDEVICE_OBJECT physicalDevice)
    : driver_(driver),
      registration_(registration),
      physicalDevice_(physicalDevice),
      extension_(registration.DeviceExtensionSize) {
    classDevice_.DriverObject = driver;
    classDevice_.DeviceExtension = extension_.data();
    classDevice_.StackSize =
        static_cast<CCHAR>(physicalDevice != nullptr ? physicalDevice->StackSize + 1 : 1);
    config_.SizeOfThisPacket = sizeof(config_);
    config_.HwDeviceExtension = extension_.data();
    config_.ClassDeviceObject = &classDevice_;
    config_.PhysicalDeviceObject = physicalDevice;
    config_.RealPhysicalDeviceObject = physicalDevice;
    config_.AdapterInterfaceType = PNPBus;
}

FrameworkAdapter::~FrameworkAdapter() {
    if (started_ && !stopped_) Stop();
}

NTSTATUS FrameworkAdapter::Start() {
    Request* request = NewRequest(RequestKind::Adapter, nullptr, SRB_INITIALIZE_DEVICE);
    request->Srb.CommandData.ConfigInfo = &config_;
    NTSTATUS status = SendAndWait(request);
    FreeRequest(request);
    if (!NT_SUCCESS(status)) return status;

    if (config_.StreamDescriptorSize < sizeof(HW_STREAM_HEADER)) {
        VerifierFault("SRB_INITIALIZE_DEVICE reported a StreamDescriptorSize of %lu bytes",
                      static_cast<unsigned long>(config_.StreamDescriptorSize));
    }
    descriptor_.assign(WordsFor(config_.StreamDescriptorSize), 0);
    request = NewRequest(RequestKind::Adapter, nullptr, SRB_GET_STREAM_INFO);
    request->Srb.CommandData.StreamBuffer =
        reinterpret_cast<PHW_STREAM_DESCRIPTOR>(descriptor_.data());
    status = SendAndWait(request);
    FreeRequest(request);
    if (!NT_SUCCESS(status)) return status;
    const HW_STREAM_HEADER& header = StreamHeader();
    const size_t needed = sizeof(HW_STREAM_HEADER) +
                          size_t{header.NumberOfStreams} * header.SizeOfHwStreamInformation;
    if (header.SizeOfHwStreamInformation != sizeof(HW_STREAM_INFORMATION) ||
        needed > config_.StreamDescriptorSize) {
        VerifierFault("stream descriptor of %lu streams does not fit the %lu bytes reported",
                      static_cast<unsigned long>(header.NumberOfStreams),
                      static_cast<unsigned long>(config_.StreamDescriptorSize));
    }

    request = NewRequest(RequestKind::Adapter, nullptr, SRB_INITIALIZATION_COMPLETE);
    status = SendAndWait(request);
    FreeRequest(request);
    if (!NT_SUCCESS(status)) return status;

    started_ = true;
    timeoutCallback_ =
        SchedulePeriodic(Now() + kSecond, kSecond, [this] { CountDownTimeouts(); });
    return STATUS_SUCCESS;
}

NTSTATUS FrameworkAdapter::Stop() {
    if (!started_ || stopped_) return STATUS_SUCCESS;
    stopped_ = true;
    CancelScheduled(timeoutCallback_);
    Request* request = NewRequest(RequestKind::Adapter, nullptr, SRB_UNINITIALIZE_DEVICE);
    const NTSTATUS status = SendAndWait(request);
    FreeRequest(request);
    const size_t pending = PendingCount();
    if (pending != 0) {
        VerifierFault("%zu requests still pending after SRB_UNINITIALIZE_DEVICE", pending);
    }
    return status;
}

const HW_STREAM_HEADER& FrameworkAdapter::StreamHeader() const {
    return reinterpret_cast<const HW_STREAM_DESCRIPTOR*>(descriptor_.data())->StreamHeader;
}

const HW_STREAM_INFORMATION* FrameworkAdapter::StreamInformation(ULONG streamNumber) const {
    if (descriptor_.empty()) return nullptr;
    const HW_STREAM_HEADER& header = StreamHeader();
    if (streamNumber >= header.NumberOfStreams) return nullptr;
    const auto* bytes = reinterpret_cast<const UCHAR*>(descriptor_.data());
    return reinterpret_cast<const HW_STREAM_INFORMATION*>(
        bytes + sizeof(HW_STREAM_HEADER) + size_t{streamNumber} * header.SizeOfHwStreamInformation);
}

Request* FrameworkAdapter::NewRequest(RequestKind kind, FrameworkStream* stream,
                                      SRB_COMMAND command) {
    auto* request = new Request{};
    request->Kind = kind;
    request->Adapter = this;
    request->Stream = stream;
    request->Id = g_nextRequestId.fetch_add(1);
    HW_STREAM_REQUEST_BLOCK& srb = request->Srb;
    srb.SizeOfThisPacket = sizeof(srb);
    srb.Command = command;
    srb.HwDeviceExtension = extension_.data();
    srb.StreamObject = stream != nullptr ? stream->Object() : nullptr;
    srb.TimeoutOriginal = srb.TimeoutCounter = kDefaultRequestTimeoutSeconds;
    if (kind != RequestKind::Adapter) srb.Flags |= SRB_HW_FLAGS_STREAM_REQUEST;
    if (kind == RequestKind::StreamData) srb.Flags |= SRB_HW_FLAGS_DATA_TRANSFER;
    TrackRequest(request);
    return request;
}

void FrameworkAdapter::FreeRequest(Request* request) {
    {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [request] { return request->DriverCalls == 0; });
        if (request->Pending) {
            VerifierFault("framework freed request 0x%X while it was pending",
                          static_cast<unsigned>(request->Srb.Command));
        }
    }
    UntrackRequest(request);
    VerifierForgetRequest(&request->Srb);
    delete request;
}

NTSTATUS FrameworkAdapter::SendAndWait(Request* request) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        request->Pending = true;
        pending_.push_back(request);
    }
    VerifierRequestStarted(&request->Srb);
    if (request->Kind == RequestKind::Adapter) {
        registration_.HwReceivePacket(&request->Srb);
    } else {
        PHW_RECEIVE_STREAM_CONTROL_SRB routine = request->Stream->object_.ReceiveControlPacket;
        if (routine == nullptr) VerifierFault("stream object without a control routine");
        routine(&request->Srb);
    }
    WaitCompleted(request);
    return request->Srb.Status;
}

void FrameworkAdapter::SendData(Request* request) {
    PHW_RECEIVE_STREAM_DATA_SRB routine = request->Stream->object_.ReceiveDataPacket;
    if (routine == nullptr) VerifierFault("stream object without a data routine");
    LockDataBuffers(request->Srb);
    {
        std::lock_guard<std::mutex> guard(lock_);
        request->Pending = true;
        pending_.push_back(request);
    }
    VerifierRequestStarted(&request->Srb);
    routine(&request->Srb);
}

void FrameworkAdapter::WaitCompleted(Request* request) {
    std::unique_lock<std::mutex> guard(lock_);
    if (!changed_.wait_for(guard, kCompletionLimit, [request] { return request->Completed; })) {
        VerifierFault("request 0x%X was never completed",
                      static_cast<unsigned>(request->Srb.Command));
    }
}

size_t FrameworkAdapter::PendingCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return pending_.size();
}

size_t FrameworkAdapter::PendingCount(const FrameworkStream* stream) const {
    std::lock_guard<std::mutex> guard(lock_);
    size_t count = 0;
    for (const Request* request : pending_) count += request->Stream == stream ? 1 : 0;
    return count;
}

void FrameworkAdapter::CallDriver(Request* request, PHW_RECEIVE_DEVICE_SRB routine) {
    {
        AtIrql dispatch(DISPATCH_LEVEL);
        routine(&request->Srb);
    }
    std::lock_guard<std::mutex> guard(lock_);
    --request->DriverCalls;
    changed_.notify_all();
}

bool FrameworkAdapter::Cancel(Request* request) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!request->Pending) return false;
        ++request->DriverCalls;
    }
    CallDriver(request, registration_.HwCancelPacket);
    return true;
}

void FrameworkAdapter::CountDownTimeouts() {
    std::vector<Request*> expired;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (Request* request : pending_) {
            HW_STREAM_REQUEST_BLOCK& srb = request->Srb;
            if (srb.TimeoutOriginal == 0 || srb.TimeoutCounter == 0) continue;
            if (--srb.TimeoutCounter == 0) {
                ++request->DriverCalls;
                expired.push_back(request);
            }
        }
    }
    for (Request* request : expired) CallDriver(request, registration_.HwRequestTimeoutHandler);
}

void FrameworkAdapter::OnRequestCompleted(Request* request) {
    const LONGLONG now = Now();
    std::lock_guard<std::mutex> guard(lock_);
    request->Pending = false;
    request->Completed = true;
    request->CompletionTime = now;
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (*it == request) {
            pending_.erase(it);
            break;
        }
    }
    if (request->Kind == RequestKind::StreamData) {
        request->Stream->completedReads_.push_back(request);
    }
    changed_.notify_all();
}

NTSTATUS FrameworkAdapter::OpenStream(ULONG streamNumber, const KSDATAFORMAT* format,
                                      std::unique_ptr<FrameworkStream>* out) {
    if (StreamInformation(streamNumber) == nullptr) return STATUS_INVALID_PARAMETER;
    auto stream = std::make_unique<FrameworkStream>(this, streamNumber,
                                                    registration_.PerStreamExtensionSize);
    Request* request = NewRequest(RequestKind::Adapter, stream.get(), SRB_OPEN_STREAM);
    request->Srb.CommandData.OpenFormat = const_cast<PKSDATAFORMAT>(format);
    const NTSTATUS status = SendAndWait(request);
    FreeRequest(request);
    if (!NT_SUCCESS(status)) return status;
    {
        std::lock_guard<std::mutex> guard(lock_);
        stream->open_ = true;
    }
    *out = std::move(stream);
    return status;
}

NTSTATUS FrameworkAdapter::CloseStream(FrameworkStream* stream) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!stream->open_) return STATUS_SUCCESS;
        stream->open_ = false;
    }
    Request* request = NewRequest(RequestKind::Adapter, stream, SRB_CLOSE_STREAM);
    const NTSTATUS status = SendAndWait(request);
    FreeRequest(request);
    std::lock_guard<std::mutex> guard(lock_);
    for (Request* pending : pending_) {
        if (pending->Stream == stream) {
            VerifierFault("SRB_CLOSE_STREAM left request 0x%X of the stream pending",
                          static_cast<unsigned>(pending->Srb.Command));
        }
    }
    return status;
}

std::vector<Request*> FrameworkAdapter::TakeCompletedReads(FrameworkStream* stream) {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<Request*> taken(stream->completedReads_.begin(), stream->completedReads_.end());
    stream->completedReads_.clear();
    return taken;
}

bool FrameworkAdapter::WaitForCompletedRead(FrameworkStream* stream, LONGLONG timeout) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::microseconds(timeout / kMicrosecond),
                             [stream] { return !stream->completedReads_.empty(); });
}

}  // namespace host::framework
