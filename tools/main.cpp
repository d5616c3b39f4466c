// vexacam: capture, offline processing, controls and information for the camera driver.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "tools/command.h"
#include "tools/driver_bringup.h"

#ifndef VEXACAM_VERSION
#define VEXACAM_VERSION "unknown"
#endif

namespace vexacam::tools {
namespace {

std::vector<std::pair<std::string, AddCommandFn>>& Registrations() {
    static std::vector<std::pair<std::string, AddCommandFn>> registrations;
    return registrations;
}

int g_exit_status = kDone;

}  // namespace

CommandRegistration::CommandRegistration(const char* name, AddCommandFn add) {
    Registrations().emplace_back(name, add);
}

void PrintProblem(const CLI::App* command, const std::string& message) {
    std::string line = message;
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::fprintf(stderr, "vexacam %s: %s\n", command->get_name().c_str(), line.c_str());
}

void SetCommandAction(CLI::App* command, std::function<int()> run) {
    command->callback([command, run = std::move(run)] {
        try {
            g_exit_status = run();
        } catch (const CommandFailure& failure) {
            PrintProblem(command, failure.what());
            g_exit_status = failure.Status();
        } catch (const std::exception& failure) {
            PrintProblem(command, failure.what());
            g_exit_status = kRuntimeError;
        }
    });
}

}  // namespace vexacam::tools

int main(int argc, char** argv) {
    using namespace vexacam::tools;
    CLI::App program{"vexacam: USB Bayer camera driver, host build with a simulated camera"};
    program.set_version_flag("--version", std::string("vexacam ") + VEXACAM_VERSION);
    program.require_subcommand(1);
    AddDriverImageOption(program);
    program.footer("Exit status: 0 done, 1 runtime failure (camera, driver, files), 2 bad option "
                   "or input, 130 interrupted. 'vexacam COMMAND --help' for each command.");
    auto registrations = Registrations();
    std::sort(registrations.begin(), registrations.end());
    for (const auto& [name, add] : registrations) add(program);
    if (argc <= 1) {
        std::printf("%s", program.help().c_str());
        return kDone;
    }
    try {
        program.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return program.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return program.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return program.exit(e);
    } catch (const CLI::ParseError& e) {
        std::string commands;
        for (const auto& [name, add] : registrations) commands += (commands.empty() ? "" : ", ") + name;
        if (program.get_subcommands().empty()) {
            std::fprintf(stderr, "vexacam: %s (commands: %s)\n", e.what(), commands.c_str());
        } else {
            const std::string name = program.get_subcommands().front()->get_name();
            std::fprintf(stderr, "vexacam %s: %s (see 'vexacam %s --help')\n", name.c_str(), e.what(), name.c_str());
        }
        return kUsageError;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexacam: %s\n", e.what());
        return kRuntimeError;
    }
    return g_exit_status;
}
