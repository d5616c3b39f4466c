// Runs the built vexacam program in a directory of its own and collects what it did: exit
// status, standard output and standard error, and the files it left.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver_under_test.h"

namespace vexacam_cli_test {

namespace fs = std::filesystem;

struct ProgramRun {
    int Status = -1;
    std::string Out;
    std::string Errors;
};

inline std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline std::string ReadText(const fs::path& path) {
    std::ifstream file(path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

inline size_t LineCount(const std::string& text) {
    size_t lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

// Lines of standard error that report a problem ("vexacam capture: ..."), leaving out the
// progress lines a capture writes there when it is not a terminal.
inline size_t ProblemLines(const std::string& errors) {
    size_t lines = 0;
    for (size_t at = 0; at < errors.size();) {
        if (errors.compare(at, 8, "vexacam ") == 0 || errors.compare(at, 8, "vexacam:") == 0) ++lines;
        const size_t end = errors.find('\n', at);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return lines;
}

inline bool HaveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Each test works in a fresh directory with a machine root of its own.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vexacam-cli-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Path(const std::string& name) const { return dir_ / name; }
    std::string MachineOption() const { return " --machine-root " + Path("machine").string(); }

    // `vexacam <arguments>` run from the test's directory, on the kernel image when one is
    // under test (a run without arguments stays one: it loads no driver).
    ProgramRun Run(const std::string& arguments) const {
        const char* image = arguments.empty() ? nullptr : DriverImageUnderTest();
        const std::string driver = image != nullptr ? std::string(" --driver-image ") + image : "";
        const std::string command = "cd " + dir_.string() + " && " + VEXACAM_PROGRAM + driver +
                                    " " + arguments + " >" + Path("out.txt").string() + " 2>" +
                                    Path("err.txt").string() + " </dev/null";
        const int status = std::system(command.c_str());
        ProgramRun run;
        run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.Out = ReadText(Path("out.txt"));
        run.Errors = ReadText(Path("err.txt"));
        return run;
    }

    // A shell command's standard output (ffprobe and the like).
    std::string Shell(const std::string& command) const {
        const std::string out = Path("shell.txt").string();
        if (std::system((command + " >" + out + " 2>/dev/null").c_str()) != 0) return "";
        return ReadText(out);
    }

    fs::path dir_;
};

}  // namespace vexacam_cli_test
