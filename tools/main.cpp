// vexacam: capture, offline processing, controls and information for the camera driver.
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tools/command.h"

namespace vexacam::tools {
namespace {

std::vector<std::pair<std::string, AddCommandFn>>& Registrations() {
    static std::vector<std::pair<std::string, AddCommandFn>> registrations;
    return registrations;
}

int g_exit_status = 0;

}  // namespace

CommandRegistration::CommandRegistration(const char* name, AddCommandFn add) {
    Registrations().emplace_back(name, add);
}

void SetExitStatus(int status) { g_exit_status = status; }

}  // namespace vexacam::tools

int main(int argc, char** argv) {
    using namespace vexacam::tools;
    CLI::App program{"vexacam: USB Bayer camera driver, host build with a simulated camera"};
    program.require_subcommand(1);
    auto registrations = Registrations();
    std::sort(registrations.begin(), registrations.end());
    for (const auto& [name, add] : registrations) add(program);
    try {
        program.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return program.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return program.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "vexacam: %s\n", e.what());
        return kUsageError;
    }
    return g_exit_status;
}
