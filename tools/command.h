// Subcommands of the vexacam program register themselves here, one file per subcommand.
#pragma once

#include <CLI/CLI.hpp>

namespace vexacam::tools {

// Adds one subcommand to the program; the callback it installs returns the exit status
// through SetExitStatus.
using AddCommandFn = void (*)(CLI::App& program);

struct CommandRegistration {
    CommandRegistration(const char* name, AddCommandFn add);
};

// Exit status of the subcommand that ran: 0 when everything asked for was done.
void SetExitStatus(int status);

// Exit status for bad options and bad input, one line on stderr naming the problem.
constexpr int kUsageError = 2;
constexpr int kRuntimeError = 1;

}  // namespace vexacam::tools
