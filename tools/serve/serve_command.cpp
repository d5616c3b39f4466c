// vexacam serve: the live camera in a browser, with every control, over the same driver path
// as `vexacam capture`. Ctrl-C stops it cleanly: the viewers' streams end, the stream stops,
// the driver saves the settings, exit 0.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tools/capture_session.h"
#include "tools/command.h"
#include "tools/driver_bringup.h"
#include "tools/serve/web_server.h"
#include "tools/stop_signal.h"

namespace vexacam::tools {
namespace {

struct ServeOptions {
    std::string listen = "127.0.0.1:8570";
    std::string format = "640x480";
    std::string preview = "640x480";
    std::vector<std::string> camera;
    std::string machineRoot;
    std::string output = "captures";
};

int RunServe(const ServeOptions& options) {
    ServerOptions server;
    server.Listen = ParseListenAddress(options.listen);
    server.Session.Size = ParseFrameSize(options.format, "--format");
    ParseCameraOptions(options.camera, &server.Session);
    const FrameSize preview = ParseFrameSize(options.preview, "--preview");
    server.Preview = {preview.Width, preview.Height};
    server.OutputDirectory = options.output;
    if (!IsLoopback(server.Listen.Host)) {
        std::fprintf(stderr, "vexacam serve: warning: listening on %s, so other machines can reach the camera; "
                     "the server asks no password\n", server.Listen.Host.c_str());
    }
    CatchStopSignals();
    signal(SIGPIPE, SIG_IGN);  // a viewer that went away is a failed write, not the end of the program
    UseMachineRoot(options.machineRoot, true);
    CameraServer running(server);
    std::printf("vexacam serve: open %s in a browser (Ctrl-C stops)\n", running.Address().c_str());
    std::fflush(stdout);
    while (!StopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string problem = running.Stop();
    if (!problem.empty()) FailRuntime(problem);
    std::printf("vexacam serve: stopped, settings saved\n");
    return kDone;
}

void AddServeCommand(CLI::App& program) {
    auto options = std::make_shared<ServeOptions>();
    CLI::App* command = program.add_subcommand("serve", "Show the live camera with its controls in a browser");
    command->footer(
        "Opens the driver on the simulated camera as 'capture' does and serves a page with the live\n"
        "picture and every control, and the JSON API under /api/ that the page uses. Loopback only\n"
        "unless --listen names another address. Snapshots go into the --output directory.");
    command->add_option("--listen", options->listen, "HOST:PORT to answer on (port 0: any free one)")
        ->capture_default_str();
    command->add_option("--format", options->format, "Picture size to start with, WIDTHxHEIGHT")->capture_default_str();
    command->add_option("--preview", options->preview, "Largest preview size, WIDTHxHEIGHT (pictures are scaled down to fit)")
        ->capture_default_str();
    command->add_option("--camera", options->camera, "Simulated camera OPTION=VALUE (as for capture), repeatable");
    command->add_option("--machine-root", options->machineRoot, "Directory of the machine's registry and SystemRoot");
    command->add_option("--output", options->output, "Directory for snapshots")->capture_default_str();
    SetCommandAction(command, [options] { return RunServe(*options); });
}

CommandRegistration registration("serve", AddServeCommand);

}  // namespace
}  // namespace vexacam::tools
