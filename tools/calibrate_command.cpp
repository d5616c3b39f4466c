// vexacam calibrate gainmap | defects: the driver's own calibration captures, requested
// through its properties while the simulated camera looks at the right scene: an evenly lit
// grey card for the gain map (after the automatic exposure has settled on it), the capped lens
// for the defect table (the driver raises the exposure itself for those frames). The driver
// writes the files; the command reports what appeared in SystemRoot.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "controls/camera_control_ids.h"
#include "host/files/machine_root.h"
#include "tools/capture_session.h"
#include "tools/control_access.h"
#include "tools/driver_bringup.h"
#include "tools/command.h"
#include "tools/picture_collector.h"
#include "tools/picture_writer.h"
#include "tools/status_text.h"
#include "tools/written_files.h"

namespace vexacam::tools {
namespace {

struct CalibrationKind {
    const char* Name;
    camera::SceneKind Scene;
    bool AutoExposure;
    ULONG RequestId;       // CameraControlSet id that starts the capture and reads 0 when done
    uint32_t SettleFrames;  // frames before the request
};

const CalibrationKind kKinds[] = {
    {"gainmap", camera::SceneKind::Flat, true, kControlGainMapCapture, 24},
    {"defects", camera::SceneKind::Dark, false, kControlDefectCapture, 2},
};

// A defect capture spans eight frames; anything far beyond that is a driver that never
// finished.
constexpr uint32_t kRequestFrameLimit = 40;
// Frames after the request reads done: the capture frame's processing, file write included,
// has finished once a later frame has been delivered.
constexpr uint32_t kFramesAfterDone = 2;

struct CalibrateOptions {
    std::string kind;
    std::string format = "640x480";
    std::vector<std::string> camera;
    std::string machineRoot;
};

NTSTATUS RequestState(CaptureSession& session, ULONG id, ULONG* value) {
    return session.Adapter().GetProperty({CameraControlSet, id, value, sizeof(*value)});
}

// Sends the request and runs frames until the driver reports it done.
std::string RunRequest(CaptureSession& session, PictureCollector& collector,
                       const CalibrationKind& kind) {
    CollectOutcome outcome = collector.Collect({kind.SettleFrames, 0});
    if (!outcome.Failure.empty()) return outcome.Failure;
    ULONG value = 1;
    NTSTATUS status = session.Adapter().SetProperty({CameraControlSet, kind.RequestId, &value, sizeof(value)});
    if (!NT_SUCCESS(status)) return "the capture request was refused (status " + StatusText(status) + ")";
    for (uint32_t frame = 0; frame < kRequestFrameLimit; ++frame) {
        outcome = collector.Collect({1, 0});
        if (!outcome.Failure.empty()) return outcome.Failure;
        status = RequestState(session, kind.RequestId, &value);
        if (!NT_SUCCESS(status)) return "the capture state could not be read (status " + StatusText(status) + ")";
        if (value == 0) return collector.Collect({kFramesAfterDone, 0}).Failure;
    }
    return "the driver did not finish the capture within " + std::to_string(kRequestFrameLimit) + " frames";
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void ReportGainMap(const WrittenFile& file) {
    const std::vector<uint8_t> bytes = ReadWholeFile(file.Path);
    int minimum = 65535, maximum = -1;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const int gain = static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8);
        minimum = std::min(minimum, gain);
        maximum = std::max(maximum, gain);
    }
    std::printf("wrote %s: %zu gains, %.2f .. %.2f (64 = x1)\n", file.Path.c_str(), bytes.size() / 2,
                minimum / 64.0, maximum / 64.0);
}

void ReportDefects(const WrittenFile& file) {
    const std::vector<uint8_t> bytes = ReadWholeFile(file.Path);
    std::printf("wrote %s: %zu defective pixels", file.Path.c_str(), bytes.size() / 4);
    for (size_t i = 0; i + 3 < bytes.size() && i < 4 * 8; i += 4) {
        std::printf("%s(%u, %u)", i == 0 ? " at " : " ", bytes[i] | bytes[i + 1] << 8, bytes[i + 2] | bytes[i + 3] << 8);
    }
    std::printf("%s\n", bytes.size() > 4 * 8 ? " ..." : "");
}

std::string Calibrate(CaptureSession& session, const CalibrationKind& kind) {
    bool wasAutomatic = false;
    GetAutoExposure(session.Adapter(), &wasAutomatic);
    NTSTATUS status = SetAutoExposure(session.Adapter(), kind.AutoExposure);
    if (!NT_SUCCESS(status)) return "automatic exposure could not be set (status " + StatusText(status) + ")";
    std::string problem;

    PictureFiles nothing;
    nothing.Bmp = false;
    const PictureGeometry geometry{session.Width(), session.Height(), session.FrameInterval()};
    std::unique_ptr<PictureWriter> writer = PictureWriter::Start(nothing, geometry, &problem);
    if (writer == nullptr) return problem;
    PictureCollector collector(session.Stream(), session.ImageSize(), session.FrameInterval(), *writer);
    status = session.Run();
    if (!NT_SUCCESS(status)) return "the stream did not start (status " + StatusText(status) + ")";
    problem = RunRequest(session, collector, kind);
    // The stored automatic exposure setting is the user's; the capture only borrowed it.
    const NTSTATUS restoredStatus = SetAutoExposure(session.Adapter(), wasAutomatic);
    const std::string restored = NT_SUCCESS(restoredStatus) ? "" : "automatic exposure could not be restored (status " + StatusText(restoredStatus) + ")";
    status = session.Stop();
    collector.Drain();
    if (problem.empty()) problem = restored;
    if (problem.empty() && !NT_SUCCESS(status)) problem = "the stream did not stop (status " + StatusText(status) + ")";
    return problem;
}

int RunCalibrate(const CalibrateOptions& options) {
    const CalibrationKind* kind = nullptr;
    for (const CalibrationKind& candidate : kKinds) {
        if (options.kind == candidate.Name) kind = &candidate;
    }
    if (kind == nullptr) FailUsage("say gainmap or defects, not '" + options.kind + "'");
    SessionOptions sessionOptions;
    sessionOptions.Camera.Scene = kind->Scene;
    sessionOptions.Size = ParseFrameSize(options.format, "--format");
    ParseCameraOptions(options.camera, &sessionOptions);
    UseMachineRoot(options.machineRoot, true);

    CaptureSession session(sessionOptions);
    const DirectorySnapshot before(host::SystemRootPath());
    std::string problem = Calibrate(session, *kind);
    const NTSTATUS closed = session.Close();
    if (problem.empty() && !NT_SUCCESS(closed)) problem = "the driver did not shut down cleanly (status " + StatusText(closed) + ")";
    if (!problem.empty()) FailRuntime(problem);

    const std::vector<WrittenFile> written = before.WrittenSince();
    if (written.empty()) FailRuntime("the driver wrote no calibration file");
    for (const WrittenFile& file : written) {
        if (kind->Scene == camera::SceneKind::Flat) ReportGainMap(file); else ReportDefects(file);
    }
    if (kind->Scene == camera::SceneKind::Flat) {
        std::printf("the flat field is applied while LightAVG is on: vexacam controls set LightAVG 1\n");
    }
    return kDone;
}

void AddCalibrateCommand(CLI::App& program) {
    auto options = std::make_shared<CalibrateOptions>();
    CLI::App* command = program.add_subcommand(
        "calibrate", "Capture the flat-field gain map or the defect table through the driver");
    command->add_option("kind", options->kind, "gainmap (grey card) or defects (capped lens)")->required();
    command->add_option("--format", options->format, "Frame size WIDTHxHEIGHT the tables are for")
        ->capture_default_str();
    command->add_option("--camera", options->camera, "OPTION=VALUE for the simulated camera; repeatable")
        ->allow_extra_args(false);
    command->add_option("--machine-root", options->machineRoot,
                        "Directory of the machine's registry and SystemRoot");
    SetCommandAction(command, [options] { return RunCalibrate(*options); });
}

CommandRegistration registration("calibrate", AddCalibrateCommand);

}  // namespace
}  // namespace vexacam::tools
