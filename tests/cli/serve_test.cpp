// vexacam serve as a user runs it: the address it prints, Ctrl-C, and the --listen checks.
#include "program_runner.h"

#include <nlohmann/json.hpp>

namespace vexacam_cli_test {
namespace {

#if !defined(VEXACAM_WITHOUT_SERVE)

class Serve : public ProgramTest {};

TEST_F(Serve, CtrlCStopsCleanlyAndSavesTheSettings) {
    // Brought up on any free port; the test waits for its line, stops it as Ctrl-C does.
    const std::string script =
        "cd " + dir_.string() + " && (" + VEXACAM_PROGRAM + " serve --listen 127.0.0.1:0" + MachineOption() +
        " >out.txt 2>err.txt & pid=$!; "
        "for i in $(seq 1 600); do grep -q 'in a browser' out.txt && break; sleep 0.1; done; "
        "kill -INT $pid; wait $pid; echo $? >status.txt)";
    ASSERT_EQ(std::system(script.c_str()), 0);
    EXPECT_EQ(ReadText(Path("status.txt")), "0\n") << ReadText(Path("err.txt"));
    const std::string out = ReadText(Path("out.txt"));
    EXPECT_NE(out.find("open http://127.0.0.1:"), std::string::npos) << out;
    EXPECT_NE(out.find("stopped, settings saved"), std::string::npos) << out;
    EXPECT_EQ(ReadText(Path("err.txt")), "");
}

TEST_F(Serve, BadOptionsAreRefusedBeforeAnythingStarts) {
    struct Case {
        const char* Arguments;
        const char* Says;
    } cases[] = {
        {"serve --listen 127.0.0.1", "HOST:PORT"},
        {"serve --listen 127.0.0.1:70000", "0..65535"},
        {"serve --format 641x480", "not one the driver offers"},
        {"serve --preview 0x480", "no pixels"},
        {"serve --camera fps=oops", "--camera"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Arguments);
        const ProgramRun run = Run(std::string(c.Arguments) + MachineOption());
        EXPECT_EQ(run.Status, 2);
        EXPECT_NE(run.Errors.find(c.Says), std::string::npos) << run.Errors;
        EXPECT_EQ(ProblemLines(run.Errors), 1u);
    }
}

#endif

}  // namespace
}  // namespace vexacam_cli_test
