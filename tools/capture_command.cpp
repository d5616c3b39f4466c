// vexacam capture: live pictures from the simulated camera through the driver into files.
// The stream is opened at the asked size with the format the data intersection answers, the
// settings go through the property sets after the open (which loads the stored ones) and
// before it runs, and the summary's drop count is the driver's own. Pictures are kept once
// automatic exposure has settled; everything is written off the capture's path.
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "host/kernel/clock.h"
#include "tools/avi_file.h"
#include "tools/capture_directory.h"
#include "tools/capture_session.h"
#include "tools/capture_settings.h"
#include "tools/capture_summary.h"
#include "tools/capture_writer.h"
#include "tools/cpu_time.h"
#include "tools/command.h"
#include "tools/control_access.h"
#include "tools/driver_bringup.h"
#include "tools/exposure_settle.h"
#include "tools/machine_registry.h"
#include "tools/offline_device.h"
#include "tools/picture_collector.h"
#include "tools/progress_display.h"
#include "tools/raw_frame_ring.h"
#include "tools/status_text.h"
#include "tools/stop_signal.h"
#include "tools/whole_file.h"

namespace vexacam::tools {
namespace {

struct CaptureOptions {
    std::string format = "640x480";
    uint32_t frames = 30;
    bool durationGiven = false;
    std::string durationText;
    std::string output = "capture";
    bool overwrite = false;
    std::vector<std::string> settings;
    std::string video;
    bool raw = false;
    bool png = false;
    bool noBmp = false;
    bool noSettle = false;
    std::optional<int64_t> skip;  // none: settle
    std::vector<std::string> camera;
    std::string machineRoot;
    bool json = false;
};

struct CaptureLimits {
    uint32_t Frames = 30;  // used when Seconds is 0
    double Seconds = 0;    // > 0: a timed capture
};

// Everything the options ask for, checked before anything is brought up.
struct CapturePlan {
    SessionOptions Session;
    std::vector<SettingAssignment> Settings;
    CaptureLimits Limits;
    CaptureOutputs Outputs;
    bool Settle = true;
    uint32_t Skip = 0;
};

// Raw frames kept while pictures are skipped: the first kept picture was made from one of the
// last of them, even when the driver takes long over each frame.
constexpr uint64_t kRawFramesBeforeKeeping = 32;

double ParseDuration(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(seconds > 0) || seconds > 86400) {
        FailUsage("--duration must be positive (seconds, at most a day), not '" + text + "'");
    }
    return seconds;
}

CapturePlan MakePlan(const CaptureOptions& options) {
    CapturePlan plan;
    plan.Session.Size = ParseFrameSize(options.format, "--format");
    ParseCameraOptions(options.camera, &plan.Session);
    for (const std::string& text : options.settings) {
        plan.Settings.push_back(ParseSettingAssignment(text, SettingPlace::Capture));
    }
    if (options.durationGiven) {
        plan.Limits.Seconds = ParseDuration(options.durationText);
    } else if (options.frames == 0) {
        FailUsage("--frames must be at least 1");
    } else {
        plan.Limits.Frames = options.frames;
    }
    const bool toStandardOutput = options.output == "-";
    CaptureOutputs& outputs = plan.Outputs;
    outputs.StandardOutput = toStandardOutput;
    outputs.Directory = toStandardOutput ? "" : options.output;
    outputs.Bmp = !options.noBmp && !toStandardOutput;
    outputs.Png = options.png;
    outputs.Raw = options.raw;
    outputs.VideoPath = options.video;
    if (toStandardOutput && ::isatty(STDOUT_FILENO)) {
        FailUsage("--output - writes raw frames for another program; pipe it into one (see --help)");
    }
    if (toStandardOutput && (options.png || options.raw)) {
        FailUsage("--output - sends the pictures to standard output; --png and --raw need a directory");
    }
    if (options.noBmp && !options.png && options.video.empty() && !options.raw) {
        FailUsage("--no-bmp leaves nothing to write; add --png, --video or --raw");
    }
    if (!options.video.empty()) {
        CheckVideoName(options.video);
        if (plan.Limits.Seconds == 0 && options.video.size() > 4 && options.video.compare(options.video.size() - 4, 4, ".avi") == 0 &&
            AviFile::FileSizeFor(plan.Session.Size.Width, plan.Session.Size.Height, plan.Limits.Frames) > kAviSizeLimit) {
            FailUsage("--video: " + std::to_string(plan.Limits.Frames) + " frames of " + options.format +
                      " pass the 1 GiB an AVI file can hold; use .mkv");
        }
    }
    if (options.noSettle && options.skip.has_value()) FailUsage("--no-settle and --skip: say one");
    if (options.skip.has_value()) {
        if (*options.skip < 0 || *options.skip > 100000) {
            FailUsage("--skip takes 0..100000 frames, not " + std::to_string(*options.skip));
        }
        plan.Settle = false;
        plan.Skip = static_cast<uint32_t>(*options.skip);
    }
    if (options.noSettle) plan.Settle = false;
    return plan;
}

double AverageIntervalMs(int64_t first, int64_t last, uint32_t count) {
    return count < 2 ? 0 : static_cast<double>(last - first) / static_cast<double>(count - 1) / 1e4;
}

// Copies the calibration files the driver loaded for the width beside the record, so that a
// replay finds the tables this capture was corrected with. Returns their names ("" for none).
std::pair<std::string, std::string> CopyCalibration(uint32_t width, CaptureDirectory& directory) {
    std::pair<std::string, std::string> names;
    for (bool gainMap : {true, false}) {
        const std::string source = OfflineDevice::MachineCalibrationPath(width, gainMap);
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(source, &bytes).empty()) continue;
        const std::string name = source.substr(source.rfind('/') + 1);
        if (std::string problem = WriteWholeFile(directory.File(name), bytes); !problem.empty()) FailRuntime(problem);
        directory.Created(name);
        (gainMap ? names.first : names.second) = name;
    }
    return names;
}

class Capture {
public:
    Capture(const CaptureOptions& options, const CapturePlan& plan, CaptureSession& session)
        : options_(options), plan_(plan), session_(session),
          collector_(session.Stream(), session.ImageSize(), session.FrameInterval(), buffers_),
          exposal_(*FindSetting("Exposal")) {}

    // Runs the stream: settles, keeps pictures, stops. Fills the summary; "" or the failure.
    std::string Run(CaptureDirectory* directory, CaptureSummary* summary);

private:
    std::string Settle(CaptureSummary* summary);
    std::unique_ptr<ReplayMatcher> StartMatcher(const RenderState& state, bool whiteBalanceAsked);
    std::string Keep(CaptureWriter& writer, const RenderState& state, CaptureSummary* summary);

    const CaptureOptions& options_;
    const CapturePlan& plan_;
    CaptureSession& session_;
    BufferPool buffers_;
    PictureCollector collector_;
    const Control& exposal_;
    std::unique_ptr<RawFrameRing> ring_;
    std::unique_ptr<OfflineDevice> offline_;
};

std::string Capture::Settle(CaptureSummary* summary) {
    bool automatic = false;
    GetAutoExposure(session_.Adapter(), &automatic);
    if (!plan_.Settle && plan_.Skip == 0) return "";
    if (plan_.Settle && !automatic) return "";  // nothing moves the exposure
    ExposureSettle settle;
    const std::string failure = collector_.Collect([&](DeliveredPicture&) {
        // The first kept picture's source is among the newest frames; older ones can go.
        if (ring_ != nullptr && ring_->Newest() > kRawFramesBeforeKeeping) ring_->Release(ring_->Newest() - kRawFramesBeforeKeeping);
        ++summary->Skipped;
        if (!plan_.Settle) return summary->Skipped < plan_.Skip;
        ControlReading reading;
        ReadControl(session_.Adapter(), exposal_, &reading);
        return !settle.Observe(static_cast<uint32_t>(reading.Number));
    });
    summary->SkipReason = !plan_.Settle ? "asked" : settle.Settled() ? "settle" : "not settled";
    return failure;
}

std::unique_ptr<ReplayMatcher> Capture::StartMatcher(const RenderState& state, bool whiteBalanceAsked) {
    std::string problem;
    offline_ = OfflineDevice::Create(session_.Width(), session_.Height(), &problem);
    if (offline_ == nullptr) FailRuntime(problem);
    offline_->LoadMachineCalibration();
    RenderState initial = state;
    initial.WhiteBalancePending = whiteBalanceAsked;
    return std::make_unique<ReplayMatcher>(*offline_, *ring_, initial);
}

std::string Capture::Keep(CaptureWriter& writer, const RenderState& state, CaptureSummary* summary) {
    ProgressDisplay progress(stderr, plan_.Limits.Seconds > 0 ? 0 : plan_.Limits.Frames, plan_.Limits.Seconds,
                             isatty(STDERR_FILENO) != 0);
    const LONGLONG start = host::Now();
    const LONGLONG deadline =
        plan_.Limits.Seconds > 0 ? start + static_cast<LONGLONG>(plan_.Limits.Seconds * host::kSecond) : 0;
    int64_t firstTime = 0, lastTime = 0, firstPeriod = 0, lastPeriod = 0;
    RenderState polled = state;
    const std::string failure = collector_.Collect([&](DeliveredPicture& picture) {
        if (deadline != 0 && picture.CompletionTime >= deadline) return false;
        const uint32_t number = ++summary->Delivered;
        if (number == 1) {
            firstTime = picture.PresentationTime;
            firstPeriod = picture.PictureNumber;
        }
        lastTime = picture.PresentationTime;
        lastPeriod = picture.PictureNumber;
        PollRenderState(session_.Adapter(), &polled);
        writer.Push(number, picture, polled, ring_ != nullptr ? ring_->Newest() : 0);
        summary->ElapsedSeconds = static_cast<double>(host::Now() - start) / host::kSecond;
        progress.Update(number, summary->ElapsedSeconds);
        if (!writer.Failure().empty()) return false;
        return deadline != 0 || number < plan_.Limits.Frames;
    });
    progress.Finish(summary->Delivered, summary->ElapsedSeconds);
    summary->AverageIntervalMs = AverageIntervalMs(firstTime, lastTime, summary->Delivered);
    if (summary->Delivered > 0) {
        summary->CaptureSeconds = static_cast<double>(lastTime - firstTime + session_.FrameInterval()) / host::kSecond;
        summary->CapturePeriods = lastPeriod - firstPeriod + 1;
    }
    return failure;
}

std::string Capture::Run(CaptureDirectory* directory, CaptureSummary* summary) {
    bool whiteBalanceAsked = false;
    for (const SettingAssignment& assignment : plan_.Settings) {
        if (std::string(assignment.Setting->Name) == "OnePushWhiteBalance" && assignment.Value != 0) whiteBalanceAsked = true;
    }
    CaptureOutputs outputs = plan_.Outputs;
    if (outputs.Raw) {
        std::tie(outputs.GainMapFile, outputs.DefectTableFile) = CopyCalibration(session_.Width(), *directory);
        ring_ = std::make_unique<RawFrameRing>(session_.Camera());
    }
    collector_.PrepareBuffers();
    const double cpuBefore = ProcessCpuSeconds();
    NTSTATUS status = session_.Run();
    if (!NT_SUCCESS(status)) return "the stream did not start (status " + StatusText(status) + ")";
    std::string failure = Settle(summary);
    if (failure.empty() && !StopRequested()) failure = ApplyRequests(session_.Adapter(), plan_.Settings);
    // The driver counts from the run; the summary counts while pictures are kept.
    LONGLONG periodsBefore = 0, droppedBefore = 0;
    session_.DroppedFrames(&periodsBefore, &droppedBefore);
    std::unique_ptr<CaptureWriter> writer;
    if (failure.empty() && !StopRequested()) {
        const RenderState state = ReadRenderState(session_.Adapter());
        std::unique_ptr<ReplayMatcher> matcher = outputs.Raw ? StartMatcher(state, whiteBalanceAsked) : nullptr;
        if (directory != nullptr) directory->Created("frames.jsonl");
        writer = std::make_unique<CaptureWriter>(outputs, CaptureGeometry{session_.Width(), session_.Height(), session_.FrameInterval()},
                                                 buffers_, std::move(matcher));
        failure = Keep(*writer, state, summary);
    }
    LONGLONG periods = 0, dropped = 0;
    const NTSTATUS counted = session_.DroppedFrames(&periods, &dropped);
    status = session_.Stop();
    collector_.Drain();
    std::string writing = writer != nullptr ? writer->Finish() : "";
    ring_.reset();  // the writer's matcher is done with it
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    summary->FramePeriods = periods - periodsBefore;
    summary->Dropped = dropped - droppedBefore;
    if (writer != nullptr) {
        const WriterCounts counts = writer->Counts();
        summary->Saved = counts.Saved;
        summary->Unsaved = counts.Unsaved;
        summary->RawFrames = counts.RawSaved;
        summary->ReplayChecked = counts.ReplayChecked;
        if (summary->Delivered > 0) {
            const double writingCpu = writer->CpuSeconds();
            summary->CpuMsPerFrame = (cpu - writingCpu) * 1e3 / summary->Delivered;
            summary->WriteMsPerFrame = writingCpu * 1e3 / summary->Delivered;
        }
    }
    if (failure.empty()) failure = writing;
    if (failure.empty() && !NT_SUCCESS(counted)) failure = "the driver's frame counts could not be read (status " + StatusText(counted) + ")";
    if (failure.empty() && !NT_SUCCESS(status)) failure = "the stream did not stop (status " + StatusText(status) + ")";
    return failure;
}

int RunCapture(const CaptureOptions& options) {
    const CapturePlan plan = MakePlan(options);
    CatchStopSignals();
    if (plan.Outputs.StandardOutput) signal(SIGPIPE, SIG_IGN);  // a closed pipe is an error to report, not a death
    UseMachineRoot(options.machineRoot, true);
    std::optional<CaptureDirectory> directory;
    if (!plan.Outputs.StandardOutput) directory.emplace(options.output, options.overwrite);
    if (std::string stored = StoreRegistrySettings(plan.Settings); !stored.empty()) {
        FailRuntime("the settings could not be stored: " + stored);
    }
    CaptureSession session(plan.Session);
    if (std::string problem = ApplySettings(session.Adapter(), plan.Settings); !problem.empty()) FailRuntime(problem);

    CaptureSummary summary;
    summary.Width = session.Width();
    summary.Height = session.Height();
    summary.FrameInterval = session.FrameInterval();
    summary.CameraFramesPerSecond = session.CameraFramesPerSecond();
    summary.Directory = plan.Outputs.Directory;
    if (plan.Outputs.Bmp) summary.PictureKinds.push_back("bmp");
    if (plan.Outputs.Png) summary.PictureKinds.push_back("png");
    summary.Video = plan.Outputs.VideoPath;
    summary.StandardOutput = plan.Outputs.StandardOutput;
    summary.Settings = ReadBackSettings(session.Adapter(), plan.Settings);

    try {
        if (directory.has_value()) directory->Prepare();
        Capture capture(options, plan, session);
        summary.Failure = capture.Run(directory.has_value() ? &*directory : nullptr, &summary);
    } catch (...) {
        if (directory.has_value()) directory->Abandon();
        throw;
    }
    const NTSTATUS closed = session.Close();
    if (summary.Failure.empty() && !NT_SUCCESS(closed)) {
        summary.Failure = "the driver did not shut down cleanly (status " + StatusText(closed) + ")";
    }
    if (summary.Failure.empty() && !plan.Settings.empty()) {
        if (std::string stored = StoreRegistry(); !stored.empty()) summary.Failure = "the settings could not be stored: " + stored;
    }
    if (directory.has_value() && summary.Saved == 0) {
        directory->Abandon();  // the summary names no files that are not there
        summary.Directory.clear();
        summary.PictureKinds.clear();
    }
    summary.Interrupted = StopRequested();

    // With the pictures on standard output, the summary goes with the progress to standard error.
    std::FILE* out = plan.Outputs.StandardOutput ? stderr : stdout;
    if (options.json) {
        std::fprintf(out, "%s\n", SummaryJson(summary).c_str());
    } else {
        PrintSummary(out, summary);
    }
    std::fflush(out);
    if (!summary.Failure.empty()) FailRuntime(summary.Failure);
    return summary.Interrupted ? kInterrupted : kDone;
}

void AddCaptureCommand(CLI::App& program) {
    auto options = std::make_shared<CaptureOptions>();
    CLI::App* command = program.add_subcommand(
        "capture", "Capture live pictures from the simulated camera through the driver");
    command->add_option("--format", options->format,
                        "Frame size WIDTHxHEIGHT, one the driver advertises (see 'vexacam info')")
        ->capture_default_str();
    CLI::Option* frames = command->add_option("--frames", options->frames, "Pictures to keep")->capture_default_str();
    command->add_option_function<std::string>(
               "--duration",
               [options](const std::string& text) {
                   options->durationGiven = true;
                   options->durationText = text;
               },
               "Keep pictures for this many seconds instead (positive)")
        ->excludes(frames);
    command->add_option("--output", options->output,
                        "Directory for the pictures, raw frames and frames.jsonl; '-' sends raw bgr24 frames to "
                        "standard output instead (see below)")
        ->capture_default_str();
    command->add_flag("--overwrite", options->overwrite,
                      "Replace an earlier capture in the output directory (its files are removed first)");
    command->add_option("--set", options->settings,
                        "NAME=VALUE: a setting (registry value name) or request flag applied through the driver's "
                        "properties before the stream runs; requests are sent once pictures are kept; "
                        "repeatable. Names: " + SettingNames(SettingPlace::Capture))
        ->allow_extra_args(false);
    command->add_option("--video", options->video,
                        "Also write a video: FILE.avi (uncompressed RGB24) or FILE.mkv (lossless FFV1, each "
                        "picture's presentation time); periods without a picture show the previous one");
    command->add_flag("--raw", options->raw,
                      "Also save each picture's raw Bayer frame, raw-0001.raw ... (replay: vexacam process "
                      "--input DIR/raw-0001.raw --replay DIR/frames.jsonl)");
    command->add_flag("--png", options->png, "Also write each picture as PNG");
    command->add_flag("--no-bmp", options->noBmp, "Write no BMP pictures (with --png, --video or --raw)");
    command->add_flag("--no-settle", options->noSettle,
                      "Keep pictures from the first frame, without waiting for automatic exposure to settle");
    command->add_option("--skip", options->skip, "Skip this many frames before keeping pictures (instead of settling)");
    command->add_option("--camera", options->camera,
                        "OPTION=VALUE for the simulated camera; repeatable: fps=RATE, endpoints=1|2|3, "
                        "buffer=FRAMES, seed=N, noise=SIGMA, scene=chart|flat|dark, "
                        "fault=KIND[@FRAME[.TRANSFER]] with KIND one of " + camera::FaultKindNames())
        ->allow_extra_args(false);
    command->add_option("--machine-root", options->machineRoot, "Directory of the machine's registry and SystemRoot");
    command->add_flag("--json", options->json, "Print the summary as one JSON object");
    command->footer(
        "By default pictures are kept once automatic exposure has settled (at most 150 frames; the\n"
        "summary says how many were skipped). Ctrl-C stops cleanly: the frame in hand is finished,\n"
        "every file completed, the summary printed, exit status 130.\n"
        "\n"
        "Every capture writes DIR/frames.jsonl, one JSON object per delivered picture: its number,\n"
        "picture number, presentation time and duration, discontinuity flag, the driver's drop count,\n"
        "its files, and every processing setting in force under its registry value name.\n"
        "\n"
        "Raw frames for other programs (--output -): 640x480 at 62.5 frames a second, the others at 40:\n"
        "  vexacam capture --output - --duration 10 | ffmpeg -f rawvideo -pixel_format bgr24 \\\n"
        "      -video_size 640x480 -framerate 62.5 -i - clip.mkv\n"
        "  vexacam capture --output - --duration 60 | ffplay -f rawvideo -pixel_format bgr24 \\\n"
        "      -video_size 640x480 -framerate 62.5 -\n"
        "A period without a picture repeats the previous frame, so frames count time. The summary\n"
        "goes to standard error.");
    SetCommandAction(command, [options] { return RunCapture(*options); });
}

CommandRegistration registration("capture", AddCaptureCommand);

}  // namespace
}  // namespace vexacam::tools
