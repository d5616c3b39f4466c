#include "tools/calibration_capture.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "controls/camera_control_ids.h"
#include "host/files/machine_root.h"
#include "tools/command.h"
#include "tools/control_access.h"
#include "tools/control_table.h"
#include "tools/exposure_settle.h"
#include "tools/offline_device.h"
#include "tools/raw_frame_ring.h"
#include "tools/status_text.h"
#include "tools/stop_signal.h"
#include "tools/whole_file.h"

namespace vexacam::tools {
namespace {

const CalibrationKind kKinds[] = {
    {"defects", camera::SceneKind::Dark, false, kControlDefectCapture},
    {"gainmap", camera::SceneKind::Flat, true, kControlGainMapCapture},
};

// A defect capture spans eight frames; anything far beyond that is a driver that never
// finished.
constexpr uint32_t kRequestFrameLimit = 40;
// Frames after the request reads done: the capture frame's processing, file write included,
// has finished once a later frame has been delivered.
constexpr uint32_t kFramesAfterDone = 2;
constexpr uint32_t kFramesBeforeDefects = 2;
// Raw frames measured at a time: the newest, of the scene as it is now.
constexpr uint64_t kRawFramesKept = 8;

// A calibration file as it was before, to put back when the new one is refused.
class SavedFile {
public:
    explicit SavedFile(std::string path) : path_(std::move(path)) {
        std::vector<uint8_t> bytes;
        if (ReadWholeFile(path_, &bytes).empty()) bytes_ = std::move(bytes);
    }
    bool Existed() const { return bytes_.has_value(); }
    const std::string& Path() const { return path_; }
    // "" or why the old file could not be put back.
    std::string Restore() const {
        if (bytes_.has_value()) return WriteWholeFile(path_, *bytes_);
        std::remove(path_.c_str());
        return "";
    }

private:
    std::string path_;
    std::optional<std::vector<uint8_t>> bytes_;
};

// Runs the request on the running stream and waits for the driver to finish it. Afterwards
// SceneBefore holds the raw frame before the request, BrightestDuring the brightest raw frame
// while the request ran.
class CalibrationCapture {
public:
    CalibrationCapture(CaptureSession& session, PictureCollector& collector, const CalibrationKind& kind,
                       const CalibrationPictures& pictures)
        : session_(session), collector_(collector), kind_(kind), pictures_(pictures), ring_(session.Camera()) {}

    void Run();
    RawFrameStats SceneBefore;
    RawFrameStats BrightestDuring;

private:
    // Hands pictures on until Next says enough; the raw frames beyond the newest few go.
    void Collect(const std::function<bool()>& next);
    void Frames(uint32_t count);
    void Settle();
    void Measure(RawFrameStats* stats, bool brightest);

    CaptureSession& session_;
    PictureCollector& collector_;
    const CalibrationKind& kind_;
    const CalibrationPictures& pictures_;
    RawFrameRing ring_;
    uint64_t measured_ = 0;  // raw frames up to this one are measured
};

void CalibrationCapture::Collect(const std::function<bool()>& next) {
    const std::string failure = collector_.Collect([&](DeliveredPicture& picture) {
        if (ring_.Newest() > kRawFramesKept) ring_.Release(ring_.Newest() - kRawFramesKept);
        if (pictures_) pictures_(picture);
        return next();
    });
    if (!failure.empty()) FailRuntime(failure);
    if (StopRequested()) FailRuntime("stopped by a signal before the calibration finished");
}

void CalibrationCapture::Frames(uint32_t count) {
    uint32_t seen = 0;
    Collect([&] { return ++seen < count; });
}

void CalibrationCapture::Settle() {
    ExposureSettle settle;
    const Control& exposal = *FindSetting("Exposal");
    Collect([&] {
        ControlReading reading;
        ReadControl(session_.Adapter(), exposal, &reading);
        return !settle.Observe(static_cast<uint32_t>(reading.Number));
    });
}

void CalibrationCapture::Measure(RawFrameStats* stats, bool brightest) {
    ring_.Release(measured_);
    for (const RawFrame& frame : ring_.Between(measured_, ring_.Newest())) {
        measured_ = frame.Sequence;
        const RawFrameStats measured = MeasureRawFrame(*frame.Pixels, session_.Width(), session_.Height());
        if (!brightest || measured.CentreMean >= stats->CentreMean) *stats = measured;
    }
}

void CalibrationCapture::Run() {
    if (kind_.AutoExposure) Settle(); else Frames(kFramesBeforeDefects);
    Measure(&SceneBefore, false);
    ULONG value = 1;
    NTSTATUS status = session_.Adapter().SetProperty({CameraControlSet, kind_.RequestId, &value, sizeof(value)});
    if (!NT_SUCCESS(status)) FailRuntime("the capture request was refused (status " + StatusText(status) + ")");
    for (uint32_t frame = 0;; ++frame) {
        if (frame == kRequestFrameLimit) {
            FailRuntime("the driver did not finish the capture within " + std::to_string(kRequestFrameLimit) + " frames");
        }
        Frames(1);
        Measure(&BrightestDuring, true);
        status = session_.Adapter().GetProperty({CameraControlSet, kind_.RequestId, &value, sizeof(value)});
        if (!NT_SUCCESS(status)) FailRuntime("the capture state could not be read (status " + StatusText(status) + ")");
        if (value == 0) break;
    }
    Frames(kFramesAfterDone);
}

std::string GainMapLine(const std::string& path, const std::vector<uint8_t>& bytes) {
    int minimum = 65535, maximum = -1;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const int gain = static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8);
        minimum = std::min(minimum, gain);
        maximum = std::max(maximum, gain);
    }
    char line[600];
    std::snprintf(line, sizeof(line), "wrote %s: %zu gains, %.2f .. %.2f (64 = x1)", path.c_str(), bytes.size() / 2,
                  minimum / 64.0, maximum / 64.0);
    return line;
}

std::string DefectsLine(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string line = "wrote " + path + ": " + std::to_string(bytes.size() / 4) + " defective pixels";
    for (size_t i = 0; i + 3 < bytes.size() && i < 4 * 8; i += 4) {
        line += (i == 0 ? " at (" : " (") + std::to_string(bytes[i] | bytes[i + 1] << 8) + ", " +
                std::to_string(bytes[i + 2] | bytes[i + 3] << 8) + ")";
    }
    return line + (bytes.size() > 4 * 8 ? " ..." : "");
}

// Puts both files back, saying so in the failure that ends the calibration.
[[noreturn]] void FailRestoring(const std::string& failure, const SavedFile& gainMap, const SavedFile& defects) {
    std::string restored = gainMap.Restore();
    if (restored.empty()) restored = defects.Restore();
    FailRuntime(failure + (restored.empty() ? "; the previous files stay" : "; the previous files could not be put back: " + restored));
}

}  // namespace

const CalibrationKind* FindCalibrationKind(const std::string& name) {
    for (const CalibrationKind& kind : kKinds) {
        if (name == kind.Name) return &kind;
    }
    return nullptr;
}

CalibrationOutcome RunCalibration(CaptureSession& session, PictureCollector& collector, const CalibrationKind& kind,
                                  bool force, const CalibrationPictures& pictures) {
    const uint32_t width = session.Width();
    host::MakeDirectories(host::SystemRootPath());
    const SavedFile gainMap(OfflineDevice::MachineCalibrationPath(width, true));
    const SavedFile defects(OfflineDevice::MachineCalibrationPath(width, false));
    const bool takesGainMap = kind.RequestId == kControlGainMapCapture;
    if (takesGainMap && !defects.Existed() && !force) {
        FailUsage("no defect table for " + std::to_string(width) + "-wide frames yet: run 'vexacam calibrate defects' "
                  "(capped lens) first, so that no hot pixel is taken into the gain map (--force takes it anyway)");
    }

    bool wasAutomatic = false;
    GetAutoExposure(session.Adapter(), &wasAutomatic);
    NTSTATUS status = SetAutoExposure(session.Adapter(), kind.AutoExposure);
    if (!NT_SUCCESS(status)) FailRuntime("automatic exposure could not be set (status " + StatusText(status) + ")");
    CalibrationCapture capture(session, collector, kind, pictures);
    std::string failure;
    try {
        capture.Run();
    } catch (const CommandFailure& problem) {
        failure = problem.what();
    }
    // The stored automatic exposure setting is the user's; the capture only borrowed it.
    status = SetAutoExposure(session.Adapter(), wasAutomatic);
    if (failure.empty() && !NT_SUCCESS(status)) {
        failure = "automatic exposure could not be restored (status " + StatusText(status) + ")";
    }
    if (!failure.empty()) FailRestoring(failure, gainMap, defects);

    CalibrationOutcome outcome;
    const SavedFile& written = takesGainMap ? gainMap : defects;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(written.Path(), &bytes).empty()) FailRestoring("the driver wrote no " + written.Path(), gainMap, defects);
    if (takesGainMap) {
        outcome.Refusal = CheckGainMapScene(capture.SceneBefore);
        outcome.Lines.push_back(GainMapLine(written.Path(), bytes));
        outcome.Lines.push_back("the flat field is applied while LightAVG is on: vexacam controls set LightAVG 1");
    } else {
        outcome.Refusal = CheckDefectScene(capture.BrightestDuring, static_cast<uint32_t>(bytes.size() / 4), width,
                                           session.Height());
        outcome.Lines.push_back(DefectsLine(written.Path(), bytes));
        if (gainMap.Existed()) {
            outcome.Lines.push_back("the gain map was taken with the previous defect table: vexacam calibrate gainmap");
        }
    }
    outcome.Kept = outcome.Refusal.empty() || force;
    if (!outcome.Kept) {
        outcome.Lines.clear();
        if (std::string restored = written.Restore(); !restored.empty()) FailRuntime(restored);
    }
    return outcome;
}

}  // namespace vexacam::tools
