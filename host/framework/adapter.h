// Internal to host/framework: one adapter (one camera) as the stream-class framework keeps it:
// the zeroed device extension, the life cycle in the framework's order, the streams opened on
// it, request sending, completion, cancellation and time-out counting.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "host/framework/request.h"
#include "host/framework/zeroed_block.h"
#include "host/kernel/clock.h"
#include "platform/strmini.h"

namespace host::framework {

// Seconds a request may stay pending before the minidriver's time-out routine is called.
constexpr ULONG kDefaultRequestTimeoutSeconds = 15;

using FillRequest = std::function<void(HW_STREAM_REQUEST_BLOCK&)>;

class FrameworkAdapter;

// One opened stream: the stream object the minidriver fills at open, its per-stream extension
// and the reads it has completed and the client has not collected yet.
class FrameworkStream {
public:
    FrameworkStream(FrameworkAdapter* adapter, ULONG streamNumber, ULONG extensionSize);
    FrameworkStream(const FrameworkStream&) = delete;
    FrameworkStream& operator=(const FrameworkStream&) = delete;

    PHW_STREAM_OBJECT Object() { return &object_; }
    FrameworkAdapter* Adapter() const { return adapter_; }

private:
    friend class FrameworkAdapter;
    FrameworkAdapter* adapter_;
    HW_STREAM_OBJECT object_{};
    ZeroedBlock extension_;
    bool open_ = false;                   // guarded by the adapter's lock
    std::deque<Request*> completedReads_;  // guarded by the adapter's lock
};

class FrameworkAdapter {
public:
    FrameworkAdapter(PDRIVER_OBJECT driver, const HW_INITIALIZATION_DATA& registration,
                     PDEVICE_OBJECT physicalDevice);
    ~FrameworkAdapter();
    FrameworkAdapter(const FrameworkAdapter&) = delete;
    FrameworkAdapter& operator=(const FrameworkAdapter&) = delete;

    // SRB_INITIALIZE_DEVICE, SRB_GET_STREAM_INFO, SRB_INITIALIZATION_COMPLETE; stops at the
    // first failure and returns its status.
    NTSTATUS Start();
    // SRB_UNINITIALIZE_DEVICE (once); every request must be complete by then.
    NTSTATUS Stop();

    PVOID DeviceExtension() { return extension_.data(); }
    const HW_INITIALIZATION_DATA& Registration() const { return registration_; }
    ULONG StreamDescriptorSize() const { return config_.StreamDescriptorSize; }
    // Valid after a successful Start.
    const HW_STREAM_HEADER& StreamHeader() const;
    const HW_STREAM_INFORMATION* StreamInformation(ULONG streamNumber) const;

    // Requests. NewRequest's record is owned by the caller until FreeRequest, which waits for
    // any cancel or time-out call still inside the minidriver.
    Request* NewRequest(RequestKind kind, FrameworkStream* stream, SRB_COMMAND command);
    void FreeRequest(Request* request);
    // Adapter and stream control requests: sent and waited for; returns the final Status.
    NTSTATUS SendAndWait(Request* request);
    // A read: handed to the stream's data routine, not waited for.
    void SendData(Request* request);
    // Calls the minidriver's cancel routine for a pending request; false when not pending.
    bool Cancel(Request* request);
    // Requests handed to the minidriver and not completed.
    size_t PendingCount() const;
    // Of those, the ones sent on `stream`.
    size_t PendingCount(const FrameworkStream* stream) const;

    // Streams.
    NTSTATUS OpenStream(ULONG streamNumber, const KSDATAFORMAT* format,
                        std::unique_ptr<FrameworkStream>* out);
    NTSTATUS CloseStream(FrameworkStream* stream);
    std::vector<Request*> TakeCompletedReads(FrameworkStream* stream);
    // Waits in real time until the stream has a completed read or `timeout` (100 ns) passed.
    bool WaitForCompletedRead(FrameworkStream* stream, LONGLONG timeout);

    // Called by the completion path.
    void OnRequestCompleted(Request* request);
    // Called once per second of host time: counts pending requests down and calls the
    // minidriver's time-out routine for those that reach zero.
    void CountDownTimeouts();

private:
    void WaitCompleted(Request* request);
    void CallDriver(Request* request, PHW_RECEIVE_DEVICE_SRB routine);

    PDRIVER_OBJECT driver_;
    HW_INITIALIZATION_DATA registration_;
    PDEVICE_OBJECT physicalDevice_;
    DEVICE_OBJECT classDevice_{};
    PORT_CONFIGURATION_INFORMATION config_{};
    ZeroedBlock extension_;  // the device extension
    std::vector<uint64_t> descriptor_;  // the stream descriptor, StreamDescriptorSize bytes
    bool started_ = false;
    bool stopped_ = false;
    CallbackId timeoutCallback_ = 0;

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Request*> pending_;  // guarded by lock_
};

}  // namespace host::framework
