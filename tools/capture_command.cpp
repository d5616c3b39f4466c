// vexacam capture: live pictures from the simulated camera through the driver into files.
// The stream is opened at the asked size with the format the data intersection answers, the
// settings go through the property sets after the open (which loads the stored ones) and
// before the stream runs, and the summary's drop count is the driver's own.
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/files/machine_root.h"
#include "tools/avi_file.h"
#include "tools/capture_session.h"
#include "tools/capture_settings.h"
#include "tools/capture_summary.h"
#include "tools/command.h"
#include "tools/picture_collector.h"
#include "tools/picture_writer.h"
#include "tools/progress_display.h"
#include "tools/raw_frame_recorder.h"
#include "tools/status_text.h"
#include "tools/driver_bringup.h"
#include "tools/machine_registry.h"

namespace vexacam::tools {
namespace {

struct CaptureOptions {
    std::string format = "640x480";
    uint32_t frames = 30;
    double duration = 0;
    bool durationGiven = false;
    std::string durationText;
    std::string output = "capture";
    std::vector<std::string> settings;
    std::string video;
    bool raw = false;
    bool png = false;
    bool noBmp = false;
    std::vector<std::string> camera;
    std::string machineRoot;
    bool json = false;
};

// Everything the options ask for, checked before anything is brought up.
struct CapturePlan {
    SessionOptions session;
    std::vector<SettingAssignment> settings;
    CaptureLimits limits;
    PictureFiles files;
};

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

CapturePlan MakePlan(const CaptureOptions& options) {
    CapturePlan plan;
    plan.session.Size = ParseFrameSize(options.format, "--format");
    ParseCameraOptions(options.camera, &plan.session);
    for (const std::string& text : options.settings) {
        plan.settings.push_back(ParseSettingAssignment(text, SettingPlace::Capture));
    }
    if (options.durationGiven) {
        if (!(options.duration > 0)) FailUsage("--duration must be positive (seconds), not '" + options.durationText + "'");
        plan.limits.Seconds = options.duration;
    } else if (options.frames == 0) {
        FailUsage("--frames must be at least 1");
    } else {
        plan.limits.Frames = options.frames;
    }
    if (options.noBmp && !options.png && options.video.empty() && !options.raw) {
        FailUsage("--no-bmp leaves nothing to write; add --png, --video or --raw");
    }
    if (!options.video.empty() && plan.limits.Seconds == 0 &&
        AviFile::FileSizeFor(plan.session.Size.Width, plan.session.Size.Height, plan.limits.Frames) > kAviSizeLimit) {
        FailUsage("--video: " + std::to_string(plan.limits.Frames) + " frames of " + options.format +
                  " pass the 1 GiB an AVI file can hold");
    }
    plan.files.Directory = options.output;
    plan.files.Bmp = !options.noBmp;
    plan.files.Png = options.png;
    plan.files.VideoPath = options.video;
    return plan;
}

double AverageIntervalMs(const std::vector<LONGLONG>& times) {
    if (times.size() < 2) return 0;
    return static_cast<double>(times.back() - times.front()) / static_cast<double>(times.size() - 1) / 1e4;
}

// Runs the stream and collects; the stream is stopped and every read back when this returns.
std::string RunStream(CaptureSession& session, const CapturePlan& plan, PictureWriter& writer,
                      RawFrameRecorder* raw, bool terminal, CaptureSummary* summary) {
    ProgressDisplay progress(stderr, plan.limits.Seconds > 0 ? 0 : plan.limits.Frames,
                             plan.limits.Seconds, terminal);
    PictureCollector collector(session.Stream(), session.ImageSize(), session.FrameInterval(), writer);
    const double cpuBefore = ProcessCpuSeconds();
    if (raw != nullptr) raw->Start();
    NTSTATUS status = session.Run();
    if (!NT_SUCCESS(status)) return "the stream did not start (status " + StatusText(status) + ")";
    const CollectOutcome outcome = collector.Collect(plan.limits, &progress);
    if (raw != nullptr) raw->Stop();
    LONGLONG periods = 0, dropped = 0;
    const NTSTATUS counted = session.DroppedFrames(&periods, &dropped);
    status = session.Stop();
    collector.Drain();
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    progress.Finish(outcome.Delivered, outcome.ElapsedSeconds);

    summary->Delivered = outcome.Delivered;
    summary->FramePeriods = periods;
    summary->Dropped = dropped;
    summary->ElapsedSeconds = outcome.ElapsedSeconds;
    summary->AverageIntervalMs = AverageIntervalMs(outcome.PresentationTimes);
    if (outcome.Delivered > 0) {
        const double writing = writer.CpuSeconds();
        summary->CpuMsPerFrame = (cpu - writing) * 1e3 / outcome.Delivered;
        summary->WriteMsPerFrame = writing * 1e3 / outcome.Delivered;
    }
    if (!outcome.Failure.empty()) return outcome.Failure;
    if (!NT_SUCCESS(counted)) return "the driver's frame counts could not be read (status " + StatusText(counted) + ")";
    if (!NT_SUCCESS(status)) return "the stream did not stop (status " + StatusText(status) + ")";
    return "";
}

int RunCapture(const CaptureOptions& options) {
    const CapturePlan plan = MakePlan(options);
    UseMachineRoot(options.machineRoot, true);
    if (std::string stored = StoreRegistrySettings(plan.settings); !stored.empty()) {
        FailRuntime("the settings could not be stored: " + stored);
    }
    CaptureSession session(plan.session);
    std::string problem = ApplySettings(session.Adapter(), plan.settings);
    if (!problem.empty()) FailRuntime(problem);
    if (!host::MakeDirectories(options.output)) {
        FailUsage("cannot create the output directory " + options.output + ": " + std::strerror(errno));
    }

    CaptureSummary summary;
    summary.Width = session.Width();
    summary.Height = session.Height();
    summary.FrameInterval = session.FrameInterval();
    summary.CameraFramesPerSecond = session.CameraFramesPerSecond();
    summary.Directory = options.output;
    if (plan.files.Bmp) summary.PictureKinds.push_back("bmp");
    if (plan.files.Png) summary.PictureKinds.push_back("png");
    summary.Video = options.video;
    summary.Settings = ReadBackSettings(session.Adapter(), plan.settings);
    problem = ApplyRequests(session.Adapter(), plan.settings);
    if (!problem.empty()) FailRuntime(problem);

    const PictureGeometry geometry{session.Width(), session.Height(), session.FrameInterval()};
    std::unique_ptr<PictureWriter> writer = PictureWriter::Start(plan.files, geometry, &problem);
    if (writer == nullptr) FailUsage(problem);
    std::unique_ptr<RawFrameRecorder> raw;
    if (options.raw) raw = std::make_unique<RawFrameRecorder>(session.Camera(), options.output);
    summary.Failure = RunStream(session, plan, *writer, raw.get(), isatty(STDERR_FILENO) != 0, &summary);
    std::string writing = writer->Finish();
    if (raw != nullptr) {
        const std::string rawWriting = raw->Finish();
        if (writing.empty()) writing = rawWriting;
        summary.RawFrames = raw->Saved();
    }
    if (summary.Failure.empty()) summary.Failure = writing;
    const NTSTATUS closed = session.Close();
    if (summary.Failure.empty() && !NT_SUCCESS(closed)) {
        summary.Failure = "the driver did not shut down cleanly (status " + StatusText(closed) + ")";
    }
    if (summary.Failure.empty() && !plan.settings.empty()) {
        if (std::string stored = StoreRegistry(); !stored.empty()) summary.Failure = "the settings could not be stored: " + stored;
    }

    if (options.json) {
        std::printf("%s\n", SummaryJson(summary).c_str());
    } else {
        PrintSummary(stdout, summary);
    }
    std::fflush(stdout);
    if (!summary.Failure.empty()) FailRuntime(summary.Failure);
    return kDone;
}

void AddCaptureCommand(CLI::App& program) {
    auto options = std::make_shared<CaptureOptions>();
    CLI::App* command = program.add_subcommand(
        "capture", "Capture live pictures from the simulated camera through the driver");
    command->add_option("--format", options->format,
                        "Frame size WIDTHxHEIGHT, one the driver advertises (see 'vexacam info')")
        ->capture_default_str();
    CLI::Option* frames = command->add_option("--frames", options->frames, "Pictures to capture")
                              ->capture_default_str();
    command->add_option_function<std::string>(
               "--duration",
               [options](const std::string& text) {
                   options->durationGiven = true;
                   options->durationText = text;
                   char* end = nullptr;
                   options->duration = std::strtod(text.c_str(), &end);
                   if (text.empty() || *end != '\0') options->duration = 0;
               },
               "Capture for this many seconds instead (positive)")
        ->excludes(frames);
    command->add_option("--output", options->output, "Directory for the pictures")->capture_default_str();
    command->add_option("--set", options->settings,
                        "NAME=VALUE: a setting or request flag applied through the driver's "
                        "properties before the stream runs; repeatable. Names: " + SettingNames(SettingPlace::Capture))
        ->allow_extra_args(false);
    command->add_option("--video", options->video, "Also write an uncompressed RGB24 AVI");
    command->add_flag("--raw", options->raw,
                      "Also save the raw Bayer frames the camera sent (replay with 'vexacam process')");
    command->add_flag("--png", options->png, "Also write each picture as PNG");
    command->add_flag("--no-bmp", options->noBmp, "Write no BMP pictures (with --png, --video or --raw)");
    command->add_option("--camera", options->camera,
                        "OPTION=VALUE for the simulated camera; repeatable: fps=RATE, endpoints=1|2|3, "
                        "buffer=FRAMES, seed=N, noise=SIGMA, scene=chart|flat|dark, "
                        "fault=KIND[@FRAME[.TRANSFER]] with KIND one of " + camera::FaultKindNames())
        ->allow_extra_args(false);
    command->add_option("--machine-root", options->machineRoot,
                        "Directory of the machine's registry and SystemRoot");
    command->add_flag("--json", options->json, "Print the summary as one JSON object");
    SetCommandAction(command, [options] { return RunCapture(*options); });
}

CommandRegistration registration("capture", AddCaptureCommand);

}  // namespace
}  // namespace vexacam::tools
