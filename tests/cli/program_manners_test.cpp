// The vexacam program's manners, the same in every subcommand: help with no arguments, a
// version, one line for every failure, and the exit statuses the README gives (0 done,
// 1 runtime failure, 2 bad option or input), never an abort.
#include <string>

#include "cli/program_runner.h"

namespace vexacam_cli_test {
namespace {

class ProgramManners : public ProgramTest {};

TEST_F(ProgramManners, NoArgumentsPrintsTheHelpWithEveryCommand) {
    const ProgramRun run = Run("");
    EXPECT_EQ(run.Status, 0);
    for (const char* command : {"capture", "calibrate", "process", "controls", "info"}) {
        EXPECT_NE(run.Out.find(command), std::string::npos) << command;
    }
    EXPECT_NE(run.Out.find("Exit status"), std::string::npos);
}

TEST_F(ProgramManners, VersionIsOneLine) {
    const ProgramRun run = Run("--version");
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out.rfind("vexacam ", 0), 0u) << run.Out;
    EXPECT_EQ(LineCount(run.Out), 1u);
}

struct Failure {
    const char* Arguments;
    int Status;
    const char* Mentions;  // the line names the problem, the range or the choices
};

const Failure kFailures[] = {
    // A directory where a file is read aborted on an uncaught exception (status 134).
    {"process --input DIR --size 64x32 --output x.bmp", 2, "cannot read"},
    {"process --input RAW --size 64x32 --gainmap DIR --output x.bmp", 2, "cannot read"},
    {"process --input RAW --size 0x0 --output x.bmp", 2, "no pixels"},
    {"process --input RAW --size 64x32 --output DIR", 1, "cannot write"},
    {"capture --duration 0", 2, "must be positive"},
    {"capture --duration soon", 2, "must be positive"},
    {"capture --format 0x0", 2, "no pixels"},
    {"capture --format 320x240", 2, "640x480"},                     // the sizes offered
    {"capture --camera fault=melt", 2, "disconnect"},               // the fault kinds
    {"capture --camera scene=moon", 2, "chart, flat or dark"},
    {"capture --camera fps=0", 2, "at most 1000"},
    {"capture --set Foo=1", 2, "Exposal"},                          // the names
    {"calibrate whitebalance", 2, "gainmap (grey card)"},
    {"controls fiddle", 2, "list, get, set or reset"},
    {"controls get Nothing", 2, "Nothing"},
    {"controls set camera.Present 1", 2, "cannot be set"},
    {"controls set OnePushWhiteBalance 1", 2, "capture --set"},    // a request of a running stream
    {"controls set GainMapCapture 1", 2, "calibrate gainmap"},
    {"capture --skip -1", 2, "0..100000"},                          // was taken as "settle"
    {"controls", 2, "list, get, set or reset"},
    {"calibrate", 2, "defects (capped lens, first) or gainmap"},
    {"process --size 64x32 --output x.bmp", 2, "vexacam process: --input is required"},
    {"info --bogus", 2, "vexacam info: The following argument was not expected: --bogus"},
    {"--bogus", 2, "capture, controls"},                            // the commands
};

TEST_F(ProgramManners, EveryFailureIsOneLineWithTheReadmesExitStatus) {
    fs::create_directories(Path("folder"));
    std::ofstream(Path("frame.raw"), std::ios::binary) << std::string(64 * 32, '\x40');
    for (const Failure& failure : kFailures) {
        std::string arguments = failure.Arguments;
        for (const auto& [token, path] : {std::pair<std::string, std::string>{"DIR", Path("folder").string()},
                                          {"RAW", Path("frame.raw").string()}}) {
            for (size_t at; (at = arguments.find(token)) != std::string::npos;) arguments.replace(at, token.size(), path);
        }
        const bool offline = arguments.rfind("process", 0) == 0;  // no machine: a private one
        const ProgramRun run = Run(arguments + (offline ? "" : MachineOption()));
        EXPECT_EQ(run.Status, failure.Status) << failure.Arguments << "\n" << run.Errors;
        EXPECT_EQ(LineCount(run.Errors), 1u) << failure.Arguments << "\n" << run.Errors;
        EXPECT_NE(run.Errors.find(failure.Mentions), std::string::npos) << failure.Arguments << "\n" << run.Errors;
    }
}

TEST_F(ProgramManners, CaptureHelpListsTheCamerasFaultKindsAndScenes) {
    const ProgramRun run = Run("capture --help");
    EXPECT_EQ(run.Status, 0);
    for (const char* word : {"disconnect", "babble", "command-stall", "chart", "flat", "dark"}) {
        EXPECT_NE(run.Out.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace vexacam_cli_test
