#include "tools/capture_session.h"

#include <cstdlib>

#include "tools/command.h"
#include "tools/status_text.h"

namespace vexacam::tools {
namespace {

constexpr LONGLONG kHundredNanosecondsPerSecond = 10000000;

const KS_DATARANGE_VIDEO* AsVideoRange(const KSDATARANGE* range) {
    if (range->FormatSize < sizeof(KS_DATARANGE_VIDEO)) return nullptr;
    return reinterpret_cast<const KS_DATARANGE_VIDEO*>(range);
}

std::string SizeText(const FrameSize& size) {
    return std::to_string(size.Width) + "x" + std::to_string(size.Height);
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
KS_DATAFORMAT_VIDEOINFOHEADER NegotiateFormat(host::AdapterClient& adapter, const FrameSize& size) {
    const std::vector<const KSDATARANGE*> ranges = adapter.Formats(0);
    for (const KSDATARANGE* range : ranges) {
        const KS_DATARANGE_VIDEO* video = AsVideoRange(range);
        if (video == nullptr) continue;
        const KS_BITMAPINFOHEADER& bitmap = video->VideoInfoHeader.bmiHeader;
        if (bitmap.biWidth != static_cast<LONG>(size.Width) || bitmap.biHeight != static_cast<LONG>(size.Height)) {
            continue;
        }
        KS_DATAFORMAT_VIDEOINFOHEADER answer{};
        ULONG bytes = 0;
        const NTSTATUS status = adapter.Intersect(0, range, &answer, sizeof(answer), &bytes);
        if (!NT_SUCCESS(status) || bytes < sizeof(answer)) {
            FailRuntime("the driver did not answer the data intersection for " + SizeText(size) + " (status " +
                        StatusText(status) + ")");
        }
        return answer;
    }
    FailUsage("format " + SizeText(size) + " is not one the driver offers (" + AdvertisedSizes(ranges) + ")");
}

// The frame interval the driver gives the size, learnt from an adapter brought up for a plain
// camera and shut down again, so that the capture's camera can be made to run at that rate.
LONGLONG AdvertisedInterval(host::LoadedDriver& driver, const FrameSize& size) {
    camera::SimulatedCamera probe;
    std::unique_ptr<host::AdapterClient> adapter;
    NTSTATUS status = driver.CreateAdapter(probe.PhysicalDeviceObject(), &adapter);
    if (!NT_SUCCESS(status)) FailRuntime("the driver did not come up (status " + StatusText(status) + ")");
    LONGLONG interval = 0;
    try {
        interval = NegotiateFormat(*adapter, size).VideoInfoHeader.AvgTimePerFrame;
    } catch (...) {
        adapter->Uninitialize();
        throw;
    }
    status = adapter->Uninitialize();
    if (!NT_SUCCESS(status)) FailRuntime("the driver did not shut down (status " + StatusText(status) + ")");
    return interval;
}

bool ParseDimension(const std::string& text, uint32_t* value) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    *value = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
    return true;
}

}  // namespace

FrameSize ParseFrameSize(const std::string& text, const char* option) {
    const size_t x = text.find_first_of("xX");
    FrameSize size;
    if (x == std::string::npos || !ParseDimension(text.substr(0, x), &size.Width) ||
        !ParseDimension(text.substr(x + 1), &size.Height)) {
        FailUsage(std::string(option) + " must be WIDTHxHEIGHT in pixels, such as 640x480; got '" + text + "'");
    }
    if (size.Width == 0 || size.Height == 0) {
        FailUsage(std::string(option) + " " + text + " has no pixels: width and height must be at least 1");
    }
    return size;
}

void ParseCameraOptions(const std::vector<std::string>& texts, SessionOptions* options) {
    for (const std::string& text : texts) {
        std::string error;
        if (!camera::ApplyCameraOption(text, &options->Camera, &error)) FailUsage("--camera " + error);
        if (text.rfind("fps=", 0) == 0) options->CameraRateGiven = true;
    }
}

CaptureSession::CaptureSession(const SessionOptions& options) {
    camera::CameraOptions cameraOptions = options.Camera;
    if (!options.CameraRateGiven) {
        const LONGLONG interval = AdvertisedInterval(device_.Driver(), options.Size);
        if (interval > 0) cameraOptions.FramesPerSecond = static_cast<double>(kHundredNanosecondsPerSecond) / interval;
    }
    device_.Attach(cameraOptions);
    const KS_DATAFORMAT_VIDEOINFOHEADER format = NegotiateFormat(device_.Adapter(), options.Size);
    KS_DATAFORMAT_VIDEOINFOHEADER opened = format;
    const NTSTATUS status = device_.Adapter().OpenStream(0, &opened.DataFormat, &stream_);
    if (!NT_SUCCESS(status)) FailRuntime("the driver refused to open the stream (status " + StatusText(status) + ")");
    size_ = options.Size;
    frameInterval_ = format.VideoInfoHeader.AvgTimePerFrame;
    imageSize_ = format.VideoInfoHeader.bmiHeader.biSizeImage;
    cameraFramesPerSecond_ = cameraOptions.FramesPerSecond;
}

CaptureSession::~CaptureSession() { stream_.reset(); }

NTSTATUS CaptureSession::Run() {
    NTSTATUS status = stream_->SetState(KSSTATE_PAUSE);
    if (NT_SUCCESS(status)) status = stream_->SetState(KSSTATE_RUN);
    return status;
}

NTSTATUS CaptureSession::Stop() { return stream_->SetState(KSSTATE_STOP); }

NTSTATUS CaptureSession::DroppedFrames(LONGLONG* pictureNumber, LONGLONG* dropCount) {
    KSPROPERTY_DROPPEDFRAMES_CURRENT_S data{};
    const NTSTATUS status = stream_->GetProperty(
        {PROPSETID_VIDCAP_DROPPEDFRAMES, KSPROPERTY_DROPPEDFRAMES_CURRENT, &data, sizeof(data), sizeof(data)});
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
    const NTSTATUS status = device_.Close();
    return NT_SUCCESS(result) ? status : result;
}

}  // namespace vexacam::tools
