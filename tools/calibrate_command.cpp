// vexacam calibrate defects | gainmap: the driver's own calibration captures, requested
// through its properties while the simulated camera looks at the right scene: the capped lens
// for the defect table, then an evenly lit grey card for the gain map. The gain map is taken
// from the frame after defect correction, so the defects come first: a hot pixel taken into
// the gain map would leave a spot where the defect step later repairs it.
//
// The frames are checked before the files are kept: a scene that does not suit the table is
// refused and the previous files are put back (--force keeps the result anyway).
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/files/machine_root.h"
#include "tools/buffer_pool.h"
#include "tools/calibration_capture.h"
#include "tools/capture_session.h"
#include "tools/command.h"
#include "tools/driver_bringup.h"
#include "tools/picture_collector.h"
#include "tools/status_text.h"
#include "tools/stop_signal.h"

namespace vexacam::tools {
namespace {

struct CalibrateOptions {
    std::string kind;
    std::string format = "640x480";
    std::vector<std::string> camera;
    std::string machineRoot;
    bool force = false;
};

int RunCalibrate(const CalibrateOptions& options) {
    const CalibrationKind* kind = FindCalibrationKind(options.kind);
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

    CaptureSession session(sessionOptions);
    BufferPool buffers;
    PictureCollector collector(session.Stream(), session.ImageSize(), session.FrameInterval(), buffers);
    collector.PrepareBuffers();
    NTSTATUS status = session.Run();
    if (!NT_SUCCESS(status)) FailRuntime("the stream did not start (status " + StatusText(status) + ")");
    const CalibrationOutcome outcome = RunCalibration(session, collector, *kind, options.force);
    status = session.Stop();
    collector.Drain();
    if (!NT_SUCCESS(status)) FailRuntime("the stream did not stop (status " + StatusText(status) + ")");
    status = session.Close();
    if (!NT_SUCCESS(status)) FailRuntime("the driver did not shut down cleanly (status " + StatusText(status) + ")");

    if (!outcome.Kept) FailRuntime("refused: " + outcome.Refusal + "; the previous file stays (--force keeps this one)");
    if (!outcome.Refusal.empty()) {
        std::fprintf(stderr, "vexacam calibrate: kept with --force although %s\n", outcome.Refusal.c_str());
    }
    for (const std::string& line : outcome.Lines) std::printf("%s\n", line.c_str());
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
