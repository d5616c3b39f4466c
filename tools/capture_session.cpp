#include "tools/capture_session.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/files/machine_root.h"
#include "host/framework/linked_driver.h"
#include "tools/command.h"
#include "tools/status_text.h"

namespace vexacam::tools {
namespace {

constexpr LONGLONG kHundredNanosecondsPerSecond = 10000000;

bool ParseDimension(const std::string& text, uint32_t* value) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    *value = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
    return *value > 0;
}

const KS_DATARANGE_VIDEO* AsVideoRange(const KSDATARANGE* range) {
    if (range->FormatSize < sizeof(KS_DATARANGE_VIDEO)) return nullptr;
    return reinterpret_cast<const KS_DATARANGE_VIDEO*>(range);
}

std::string AdvertisedSizes(const std::vector<const KSDATARANGE*>& ranges) {
    std::string sizes;
    for (const KSDATARANGE* range : ranges) {
        const KS_DATARANGE_VIDEO* video = AsVideoRange(range);
        if (video == nullptr) continue;
        if (!sizes.empty()) sizes += ", ";
        sizes += std::to_string(video->VideoInfoHeader.bmiHeader.biWidth) + "x" +
                 std::to_string(video->VideoInfoHeader.bmiHeader.biHeight);
    }
    return sizes;
}

// Echoes the advertised range of that size to the data intersection and takes its answer.
int NegotiateFormat(host::AdapterClient& adapter, const FrameSize& size,
                    KS_DATAFORMAT_VIDEOINFOHEADER* format, std::string* problem) {
    const std::vector<const KSDATARANGE*> ranges = adapter.Formats(0);
    for (const KSDATARANGE* range : ranges) {
        const KS_DATARANGE_VIDEO* video = AsVideoRange(range);
        if (video == nullptr) continue;
        const KS_BITMAPINFOHEADER& bitmap = video->VideoInfoHeader.bmiHeader;
        if (bitmap.biWidth != static_cast<LONG>(size.Width) ||
            bitmap.biHeight != static_cast<LONG>(size.Height)) {
            continue;
        }
        KS_DATAFORMAT_VIDEOINFOHEADER answer{};
        ULONG bytes = 0;
        const NTSTATUS status =
            adapter.Intersect(0, range, &answer, sizeof(answer), &bytes);
        if (!NT_SUCCESS(status) || bytes < sizeof(answer)) {
            *problem = "the driver did not answer the data intersection for " +
                       std::to_string(size.Width) + "x" + std::to_string(size.Height) +
                       " (status " + StatusText(status) + ")";
            return kRuntimeError;
        }
        *format = answer;
        return 0;
    }
    *problem = "format " + std::to_string(size.Width) + "x" + std::to_string(size.Height) +
               " is not one the driver offers (" + AdvertisedSizes(ranges) + ")";
    return kUsageError;
}

// The frame interval the driver gives the size, learnt from an adapter brought up for a plain
// camera and shut down again, so that the capture's camera can be made to run at that rate.
int AdvertisedInterval(host::LoadedDriver& driver, const FrameSize& size, LONGLONG* interval,
                       std::string* problem) {
    camera::SimulatedCamera probe;
    std::unique_ptr<host::AdapterClient> adapter;
    NTSTATUS status = driver.CreateAdapter(probe.PhysicalDeviceObject(), &adapter);
    if (!NT_SUCCESS(status)) {
        *problem = "the driver did not come up (status " + StatusText(status) + ")";
        return kRuntimeError;
    }
    KS_DATAFORMAT_VIDEOINFOHEADER format{};
    const int result = NegotiateFormat(*adapter, size, &format, problem);
    *interval = format.VideoInfoHeader.AvgTimePerFrame;
    status = adapter->Uninitialize();
    if (result == 0 && !NT_SUCCESS(status)) {
        *problem = "the driver did not shut down (status " + StatusText(status) + ")";
        return kRuntimeError;
    }
    return result;
}

}  // namespace

std::string ParseFrameSize(const std::string& text, FrameSize* size) {
    const size_t x = text.find_first_of("xX");
    FrameSize parsed;
    if (x == std::string::npos || !ParseDimension(text.substr(0, x), &parsed.Width) ||
        !ParseDimension(text.substr(x + 1), &parsed.Height)) {
        return "--format must be WIDTHxHEIGHT, got '" + text + "'";
    }
    *size = parsed;
    return "";
}

std::string ParseCameraOptions(const std::vector<std::string>& texts, SessionOptions* options) {
    for (const std::string& text : texts) {
        std::string error;
        if (!camera::ApplyCameraOption(text, &options->Camera, &error)) return error;
        if (text.rfind("fps=", 0) == 0) options->CameraRateGiven = true;
    }
    return "";
}

int CaptureSession::Open(const SessionOptions& options, std::unique_ptr<CaptureSession>* session,
                         std::string* problem) {
    if (!options.MachineRoot.empty()) {
        if (!host::MakeDirectories(options.MachineRoot)) {
            *problem = "cannot create the machine root " + options.MachineRoot + ": " + std::strerror(errno);
            return kUsageError;
        }
        host::SetMachineRoot(options.MachineRoot);
    }
    std::unique_ptr<CaptureSession> opened(new CaptureSession());
    NTSTATUS status = host::LoadedDriver::LoadLinked(&opened->driver_);
    if (!NT_SUCCESS(status)) {
        *problem = "the driver did not load (status " + StatusText(status) + ")";
        return kRuntimeError;
    }
    camera::CameraOptions cameraOptions = options.Camera;
    if (!options.CameraRateGiven) {
        LONGLONG interval = 0;
        const int result = AdvertisedInterval(*opened->driver_, options.Size, &interval, problem);
        if (result != 0) return result;
        if (interval > 0) cameraOptions.FramesPerSecond = static_cast<double>(kHundredNanosecondsPerSecond) / interval;
    }
    opened->camera_ = std::make_unique<camera::SimulatedCamera>(cameraOptions);
    status = opened->driver_->CreateAdapter(opened->camera_->PhysicalDeviceObject(), &opened->adapter_);
    if (!NT_SUCCESS(status)) {
        *problem = "the driver did not come up for the camera (status " + StatusText(status) + ")";
        return kRuntimeError;
    }
    KS_DATAFORMAT_VIDEOINFOHEADER format{};
    const int result = NegotiateFormat(*opened->adapter_, options.Size, &format, problem);
    if (result != 0) return result;
    status = opened->adapter_->OpenStream(0, &format.DataFormat, &opened->stream_);
    if (!NT_SUCCESS(status)) {
        *problem = "the driver refused to open the stream (status " + StatusText(status) + ")";
        return kRuntimeError;
    }
    opened->size_ = options.Size;
    opened->frameInterval_ = format.VideoInfoHeader.AvgTimePerFrame;
    opened->imageSize_ = format.VideoInfoHeader.bmiHeader.biSizeImage;
    opened->cameraFramesPerSecond_ = cameraOptions.FramesPerSecond;
    *session = std::move(opened);
    return 0;
}

CaptureSession::~CaptureSession() {
    // Members go in reverse order of declaration: stream, adapter, driver, camera.
    stream_.reset();
    adapter_.reset();
    driver_.reset();
}

NTSTATUS CaptureSession::Run() {
    NTSTATUS status = stream_->SetState(KSSTATE_PAUSE);
    if (NT_SUCCESS(status)) status = stream_->SetState(KSSTATE_RUN);
    return status;
}

NTSTATUS CaptureSession::Stop() { return stream_->SetState(KSSTATE_STOP); }

NTSTATUS CaptureSession::DroppedFrames(LONGLONG* pictureNumber, LONGLONG* dropCount) {
    KSPROPERTY_DROPPEDFRAMES_CURRENT_S data{};
    const NTSTATUS status =
        stream_->GetProperty({PROPSETID_VIDCAP_DROPPEDFRAMES, KSPROPERTY_DROPPEDFRAMES_CURRENT,
                              &data, sizeof(data), sizeof(data)});
    *pictureNumber = data.PictureNumber;
    *dropCount = data.DropCount;
    return status;
}

NTSTATUS CaptureSession::Close() {
    NTSTATUS result = STATUS_SUCCESS;
    if (stream_ != nullptr) {
        result = stream_->Close();
        stream_.reset();
    }
    if (adapter_ != nullptr) {
        const NTSTATUS status = adapter_->Uninitialize();
        if (NT_SUCCESS(result)) result = status;
        adapter_.reset();
    }
    driver_.reset();
    return result;
}

}  // namespace vexacam::tools
