// Subcommands of the vexacam program register themselves here, one file per subcommand, and
// share one way of ending: an exit status, and for a failure one line on standard error.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <stdexcept>
#include <string>

namespace vexacam::tools {

// Exit statuses, the same in every subcommand.
constexpr int kDone = 0;          // everything asked for was done
constexpr int kRuntimeError = 1;  // the camera, the driver or a file let us down
constexpr int kUsageError = 2;    // a bad option or bad input, named in the message
constexpr int kInterrupted = 130; // stopped by SIGINT or SIGTERM, after a clean finish

// Ends a subcommand: "vexacam NAME: Message" on standard error and Status as the exit status.
class CommandFailure : public std::runtime_error {
public:
    CommandFailure(int status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    int Status() const { return status_; }

private:
    int status_;
};

[[noreturn]] inline void FailUsage(const std::string& message) {
    throw CommandFailure(kUsageError, message);
}
[[noreturn]] inline void FailRuntime(const std::string& message) {
    throw CommandFailure(kRuntimeError, message);
}

// Adds one subcommand to the program.
using AddCommandFn = void (*)(CLI::App& program);

struct CommandRegistration {
    CommandRegistration(const char* name, AddCommandFn add);
};

// Makes Run the subcommand's action. Its result is the exit status; a CommandFailure ends the
// program with its status and line, and any other exception with status 1 and its text, so no
// failure ever ends in an abort.
void SetCommandAction(CLI::App* command, std::function<int()> run);

// One line on standard error, prefixed like every message of the subcommand.
void PrintProblem(const CLI::App* command, const std::string& message);

}  // namespace vexacam::tools
