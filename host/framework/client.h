// The client side of the stream-class framework: what an application (our CLI, our tests)
// does with the driver. Load it, bring up an adapter for a camera's physical device object,
// read the stream description and formats, intersect, open the capture stream, change its
// state, queue reads and collect them, cancel, get and set properties, close, unload.
//
// Every call is synchronous except reads: QueueRead hands the request to the driver and
// returns; completed reads are collected with TakeCompletedReads (after driving the manual
// clock in tests) or waited for with WaitForCompletedRead (real clock).
//
// Order of teardown: streams, then adapters, then the driver (unload checks for pool leaks).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel.h"
#include "platform/strmini.h"

namespace host {

namespace image {
class DriverImage;
}  // namespace image

namespace framework {
class FrameworkAdapter;
class FrameworkStream;
struct Request;
}  // namespace framework

using FillRequest = std::function<void(HW_STREAM_REQUEST_BLOCK&)>;

// A completed read as the application sees it.
struct CompletedRead {
    uint64_t Id = 0;
    NTSTATUS Status = STATUS_PENDING;
    void* Buffer = nullptr;
    ULONG BufferSize = 0;
    ULONG DataUsed = 0;
    ULONG OptionsFlags = 0;
    LONGLONG PresentationTime = 0;
    ULONG PresentationNumerator = 0;
    ULONG PresentationDenominator = 0;
    LONGLONG Duration = 0;
    LONGLONG PictureNumber = 0;
    LONGLONG DropCount = 0;
    ULONG FrameFlags = 0;
    LONGLONG CompletionTime = 0;  // host time at completion
};

// Property call: KSPROPERTY {Set, Id, get or set} followed, up to InputSize, by the bytes of
// Data that lie past its own leading KSPROPERTY (for the *_S records that begin with one).
struct PropertyCall {
    GUID Set;
    ULONG Id;
    void* Data;
    ULONG DataSize;
    ULONG InputSize = sizeof(KSPROPERTY);
};

class StreamClient {
public:
    StreamClient(std::shared_ptr<framework::FrameworkAdapter> adapter,
                 std::unique_ptr<framework::FrameworkStream> stream);
    ~StreamClient();  // closes the stream if still open
    StreamClient(const StreamClient&) = delete;
    StreamClient& operator=(const StreamClient&) = delete;

    PHW_STREAM_OBJECT StreamObject();

    NTSTATUS SetState(KSSTATE state);
    NTSTATUS GetState(KSSTATE* state);
    NTSTATUS ProposeFormat(const KSDATAFORMAT* format);
    NTSTATUS SetFormat(const KSDATAFORMAT* format);
    NTSTATUS GetProperty(const PropertyCall& call, ULONG* bytesReturned = nullptr);
    NTSTATUS SetProperty(const PropertyCall& call);
    // Any stream control request; `fill` sets the command data.
    NTSTATUS SendControl(SRB_COMMAND command, const FillRequest& fill = {},
                         ULONG* bytesReturned = nullptr);

    // Queues a read into `buffer`; returns its id. timeoutSeconds 0: never times out.
    uint64_t QueueRead(void* buffer, ULONG size, ULONG timeoutSeconds = 15);
    // Asks the driver to cancel a read; false when it was no longer pending.
    bool CancelRead(uint64_t id);
    // Reads handed to the driver and not completed (queued ones included).
    size_t PendingReads() const;
    // Completed reads in completion order, forgotten once taken.
    std::vector<CompletedRead> TakeCompletedReads();
    // Real time: waits until a completed read is available or `timeout` (100 ns) passed.
    bool WaitForCompletedRead(LONGLONG timeout);

    NTSTATUS Close();

private:
    std::shared_ptr<framework::FrameworkAdapter> adapter_;
    std::unique_ptr<framework::FrameworkStream> stream_;
    std::vector<framework::Request*> reads_;  // reads not yet collected
    bool closed_ = false;
};

class AdapterClient {
public:
    explicit AdapterClient(std::shared_ptr<framework::FrameworkAdapter> adapter);
    ~AdapterClient();  // uninitializes the adapter if still up
    AdapterClient(const AdapterClient&) = delete;
    AdapterClient& operator=(const AdapterClient&) = delete;

    PVOID DeviceExtension();
    ULONG StreamDescriptorSize() const;
    const HW_STREAM_HEADER& StreamHeader() const;
    const HW_STREAM_INFORMATION* StreamInformation(ULONG streamNumber) const;
    // The stream's format table as the driver advertises it.
    std::vector<const KSDATARANGE*> Formats(ULONG streamNumber) const;

    NTSTATUS Intersect(ULONG streamNumber, const KSDATARANGE* range, void* buffer,
                       ULONG bufferSize, ULONG* bytesReturned);
    NTSTATUS OpenStream(ULONG streamNumber, const KSDATAFORMAT* format,
                        std::unique_ptr<StreamClient>* stream);
    NTSTATUS GetProperty(const PropertyCall& call, ULONG* bytesReturned = nullptr);
    NTSTATUS SetProperty(const PropertyCall& call);
    // Any adapter request; `fill` sets the command data and stream object.
    NTSTATUS SendRequest(SRB_COMMAND command, const FillRequest& fill = {},
                         ULONG* bytesReturned = nullptr);
    // Requests of this adapter handed to the driver and not completed.
    size_t PendingRequests() const;

    NTSTATUS Uninitialize();

private:
    std::shared_ptr<framework::FrameworkAdapter> adapter_;
};

class LoadedDriver {
public:
    // Creates the driver object and calls the entry; the driver is loaded when it succeeds.
    static NTSTATUS Load(PDRIVER_INITIALIZE entry, std::unique_ptr<LoadedDriver>* driver);
    // Loads the driver linked into this program (host/framework/linked_driver.h).
    static NTSTATUS LoadLinked(std::unique_ptr<LoadedDriver>* driver);
    // Loads the kernel image file at `path` (host/image/) and calls its DriverEntry. An image the
    // host cannot load gives STATUS_INVALID_IMAGE_FORMAT with the reason in *problem.
    static NTSTATUS LoadImage(const std::string& path, std::unique_ptr<LoadedDriver>* driver,
                              std::string* problem);
    // Unloads: every adapter must be gone; pool blocks still outstanding stop the process. An
    // image is unmapped last.
    ~LoadedDriver();
    LoadedDriver(const LoadedDriver&) = delete;
    LoadedDriver& operator=(const LoadedDriver&) = delete;

    const HW_INITIALIZATION_DATA& Registration() const { return registration_; }

    // SRB_INITIALIZE_DEVICE with `physicalDevice` in the port configuration (may be null when
    // no camera is attached), then the stream information and SRB_INITIALIZATION_COMPLETE.
    NTSTATUS CreateAdapter(PDEVICE_OBJECT physicalDevice, std::unique_ptr<AdapterClient>* adapter);

private:
    LoadedDriver();
    NTSTATUS CallEntry(PDRIVER_INITIALIZE entry);
    std::unique_ptr<image::DriverImage> image_;  // destroyed last: the driver's code
    DRIVER_OBJECT object_{};
    HW_INITIALIZATION_DATA registration_{};
};

}  // namespace host
