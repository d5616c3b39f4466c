// vexacam calibrate defects | gainmap: the driver's own calibration captures, requested
// through its properties while the simulated camera looks at the right scene: the capped lens
// for the defect table (the driver raises the exposure itself for those frames), then an evenly
// lit grey card for the gain map (after the automatic exposure has settled on it). The gain map
// is taken from the frame after defect correction, so the defects come first: a hot pixel taken
// into the gain map would leave a spot where the defect step later repairs it.
//
// The frames are checked before the files are kept: a scene that does not suit the table is
// refused and the previous files are put back (--force keeps the result anyway).
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/camera_control_ids.h"
#include "host/files/machine_root.h"
#include "tools/calibration_checks.h"
#include "tools/capture_session.h"
#include "tools/command.h"
#include "tools/control_access.h"
#include "tools/driver_bringup.h"
#include "tools/exposure_settle.h"
#include "tools/offline_device.h"
#include "tools/picture_collector.h"
#include "tools/raw_frame_ring.h"
#include "tools/status_text.h"
#include "tools/stop_signal.h"
#include "tools/whole_file.h"

namespace vexacam::tools {
namespace {

struct CalibrationKind {
    const char* Name;
    camera::SceneKind Scene;
    bool AutoExposure;
    ULONG RequestId;  // CameraControlSet id that starts the capture and reads 0 when done
};

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

struct CalibrateOptions {
    std::string kind;
    std::string format = "640x480";
    std::vector<std::string> camera;
    std::string machineRoot;
    bool force = false;
};

// A calibration file as it was before, to put back when the new one is refused.
class SavedFile {
public:
    explicit SavedFile(std::string path) : path_(std::move(path)) {
        std::vector<uint8_t> bytes;
        if (ReadWholeFile(path_, &bytes).empty()) bytes_ = std::move(bytes);
    }
    bool Existed() const { return bytes_.has_value(); }
    void Restore() const {
        if (bytes_.has_value()) {
            if (std::string problem = WriteWholeFile(path_, *bytes_); !problem.empty()) FailRuntime(problem);
        } else {
            std::remove(path_.c_str());
        }
    }

private:
    std::string path_;
    std::optional<std::vector<uint8_t>> bytes_;
};

class Calibration {
public:
    Calibration(CaptureSession& session, const CalibrationKind& kind)
        : session_(session), kind_(kind), collector_(session.Stream(), session.ImageSize(), session.FrameInterval(), buffers_),
          ring_(session.Camera()) {}

    // Runs the stream, makes the request and waits for the driver to finish it. Afterwards
    // SceneBefore holds the raw frame before the request, BrightestDuring the brightest raw
    // frame while the request ran.
    void Run();
    RawFrameStats SceneBefore;
    RawFrameStats BrightestDuring;

private:
    void Frames(uint32_t count);
    void Settle();
    void Measure(RawFrameStats* stats, bool brightest);

    CaptureSession& session_;
    const CalibrationKind& kind_;
    BufferPool buffers_;
    PictureCollector collector_;
    RawFrameRing ring_;
    uint64_t measured_ = 0;  // raw frames up to this one are measured
};

void Calibration::Frames(uint32_t count) {
    uint32_t seen = 0;
    const std::string failure = collector_.Collect([&](DeliveredPicture&) { return ++seen < count; });
    if (ring_.Newest() > kRawFramesKept) ring_.Release(ring_.Newest() - kRawFramesKept);
    if (!failure.empty()) FailRuntime(failure);
    if (StopRequested()) FailRuntime("stopped by a signal before the calibration finished; the old files stay");
}

void Calibration::Settle() {
    ExposureSettle settle;
    const Control& exposal = *FindSetting("Exposal");
    const std::string failure = collector_.Collect([&](DeliveredPicture&) {
        if (ring_.Newest() > kRawFramesKept) ring_.Release(ring_.Newest() - kRawFramesKept);
        ControlReading reading;
        ReadControl(session_.Adapter(), exposal, &reading);
        return !settle.Observe(static_cast<uint32_t>(reading.Number));
    });
    if (!failure.empty()) FailRuntime(failure);
    if (StopRequested()) FailRuntime("stopped by a signal before the calibration finished; the old files stay");
}

void Calibration::Measure(RawFrameStats* stats, bool brightest) {
    ring_.Release(measured_);
    for (const RawFrame& frame : ring_.Between(measured_, ring_.Newest())) {
        measured_ = frame.Sequence;
        const RawFrameStats measured = MeasureRawFrame(*frame.Pixels, session_.Width(), session_.Height());
        if (!brightest || measured.CentreMean >= stats->CentreMean) *stats = measured;
    }
}

void Calibration::Run() {
    collector_.PrepareBuffers();
    NTSTATUS status = session_.Run();
    if (!NT_SUCCESS(status)) FailRuntime("the stream did not start (status " + StatusText(status) + ")");
    if (kind_.AutoExposure) Settle(); else Frames(kFramesBeforeDefects);
    Measure(&SceneBefore, false);
    ULONG value = 1;
    status = session_.Adapter().SetProperty({CameraControlSet, kind_.RequestId, &value, sizeof(value)});
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
    status = session_.Stop();
    collector_.Drain();
    if (!NT_SUCCESS(status)) FailRuntime("the stream did not stop (status " + StatusText(status) + ")");
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (std::string problem = ReadWholeFile(path, &bytes); !problem.empty()) FailRuntime("the driver wrote no " + path);
    return bytes;
}

void ReportGainMap(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFile(path);
    int minimum = 65535, maximum = -1;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const int gain = static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8);
        minimum = std::min(minimum, gain);
        maximum = std::max(maximum, gain);
    }
    std::printf("wrote %s: %zu gains, %.2f .. %.2f (64 = x1)\n", path.c_str(), bytes.size() / 2, minimum / 64.0,
                maximum / 64.0);
    std::printf("the flat field is applied while LightAVG is on: vexacam controls set LightAVG 1\n");
}

void ReportDefects(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::printf("wrote %s: %zu defective pixels", path.c_str(), bytes.size() / 4);
    for (size_t i = 0; i + 3 < bytes.size() && i < 4 * 8; i += 4) {
        std::printf("%s(%u, %u)", i == 0 ? " at " : " ", bytes[i] | bytes[i + 1] << 8, bytes[i + 2] | bytes[i + 3] << 8);
    }
    std::printf("%s\n", bytes.size() > 4 * 8 ? " ..." : "");
}

// With --force a refused result is kept, with a note; otherwise the old files come back.
void Judge(const std::string& problem, bool force, const SavedFile& saved) {
    if (problem.empty()) return;
    if (!force) {
        saved.Restore();
        FailRuntime("refused: " + problem + "; the previous file stays (--force keeps this one)");
    }
    std::fprintf(stderr, "vexacam calibrate: kept with --force although %s\n", problem.c_str());
}

int RunCalibrate(const CalibrateOptions& options) {
    const CalibrationKind* kind = nullptr;
    for (const CalibrationKind& candidate : kKinds) {
        if (options.kind == candidate.Name) kind = &candidate;
    }
    if (kind == nullptr) {
        FailUsage("say defects (capped lens, first) or gainmap (grey card)" +
                  (options.kind.empty() ? std::string() : ", not '" + options.kind + "'"));
    }
    SessionOptions sessionOptions;
    sessionOptions.Camera.Scene = kind->Scene;
    sessionOptions.Size = ParseFrameSize(options.format, "--format");
    ParseCameraOptions(options.camera, &sessionOptions);
    CatchStopSignals();
    UseMachineRoot(options.machineRoot, true);
    host::MakeDirectories(host::SystemRootPath());

    const uint32_t width = sessionOptions.Size.Width;
    const std::string gainMapPath = OfflineDevice::MachineCalibrationPath(width, true);
    const std::string defectsPath = OfflineDevice::MachineCalibrationPath(width, false);
    const SavedFile savedGainMap(gainMapPath);
    const SavedFile savedDefects(defectsPath);
    const bool gainMap = kind->Scene == camera::SceneKind::Flat;
    if (gainMap && !savedDefects.Existed() && !options.force) {
        FailUsage("no defect table for " + std::to_string(width) + "-wide frames yet: run 'vexacam calibrate defects' "
                  "(capped lens) first, so that no hot pixel is taken into the gain map (--force takes it anyway)");
    }

    CaptureSession session(sessionOptions);
    bool wasAutomatic = false;
    GetAutoExposure(session.Adapter(), &wasAutomatic);
    NTSTATUS status = SetAutoExposure(session.Adapter(), kind->AutoExposure);
    if (!NT_SUCCESS(status)) FailRuntime("automatic exposure could not be set (status " + StatusText(status) + ")");
    Calibration calibration(session, *kind);
    calibration.Run();
    // The stored automatic exposure setting is the user's; the capture only borrowed it.
    status = SetAutoExposure(session.Adapter(), wasAutomatic);
    const NTSTATUS closed = session.Close();
    if (!NT_SUCCESS(status)) FailRuntime("automatic exposure could not be restored (status " + StatusText(status) + ")");
    if (!NT_SUCCESS(closed)) FailRuntime("the driver did not shut down cleanly (status " + StatusText(closed) + ")");

    if (gainMap) {
        ReadFile(gainMapPath);
        Judge(CheckGainMapScene(calibration.SceneBefore), options.force, savedGainMap);
        ReportGainMap(gainMapPath);
    } else {
        const std::vector<uint8_t> table = ReadFile(defectsPath);
        Judge(CheckDefectScene(calibration.BrightestDuring, static_cast<uint32_t>(table.size() / 4), width,
                               sessionOptions.Size.Height),
              options.force, savedDefects);
        ReportDefects(defectsPath, table);
        if (savedGainMap.Existed()) {
            std::printf("the gain map was taken with the previous defect table: vexacam calibrate gainmap\n");
        }
    }
    return kDone;
}

void AddCalibrateCommand(CLI::App& program) {
    auto options = std::make_shared<CalibrateOptions>();
    CLI::App* command = program.add_subcommand(
        "calibrate", "Capture the defect table, then the flat-field gain map, through the driver");
    command->add_option("kind", options->kind, "defects (capped lens; first) or gainmap (grey card; second)");
    command->add_option("--format", options->format, "Frame size WIDTHxHEIGHT the tables are for")->capture_default_str();
    command->add_flag("--force", options->force, "Keep the result although the scene failed the checks");
    command->add_option("--camera", options->camera,
                        "OPTION=VALUE for the simulated camera (scene=dark for defects and scene=flat for the gain "
                        "map are set already); repeatable")
        ->allow_extra_args(false);
    command->add_option("--machine-root", options->machineRoot, "Directory of the machine's registry and SystemRoot");
    char footer[1200];
    using L = CalibrationLimits;
    std::snprintf(footer, sizeof(footer),
                  "Order: 'calibrate defects' first, then 'calibrate gainmap'. The gain map is taken from the\n"
                  "defect-corrected frame; a hot pixel taken into it would leave a spot once the defect step\n"
                  "repairs it. A new defect table asks for a new gain map.\n"
                  "\n"
                  "Checks before a file is kept (otherwise it is refused and the previous file stays):\n"
                  "  defects   the lens capped: mean at most %.0f of 255 at the capture's exposure, and at most\n"
                  "            %.1f%% of the pixels standing out (or %u, whichever is more)\n"
                  "  gainmap   an evenly lit grey card: centre mean %.0f..%.0f of 255, at most %.1f%% of the\n"
                  "            samples clipped, texture at most %.2f (mean step between neighbouring\n"
                  "            16 x 16 blocks over the mean: a plain card about 0.005, a chart 0.1)\n",
                  L::kDefectsMaximumMean, 100 * L::kDefectsMaximumFraction, L::kDefectsAlwaysAllowed,
                  L::kGainMapMinimumMean, L::kGainMapMaximumMean, 100 * L::kGainMapMaximumClipped,
                  L::kGainMapMaximumTexture);
    command->footer(footer);
    SetCommandAction(command, [options] { return RunCalibrate(*options); });
}

CommandRegistration registration("calibrate", AddCalibrateCommand);

}  // namespace
}  // namespace vexacam::tools
