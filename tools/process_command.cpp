// vexacam process: one raw Bayer frame from a file through the driver's stage sequence, on a
// freshly initialised device, to a 24-bit bitmap.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/bmp_file.h"
#include "tools/command.h"
#include "tools/control_arguments.h"
#include "tools/offline_device.h"
#include "tools/whole_file.h"

namespace vexacam::tools {
namespace {

struct ProcessOptions {
    std::string input;
    std::string size;
    std::vector<std::string> settings;
    std::string gainMap;
    std::string defects;
    std::string output;
};

struct RawSize {
    uint32_t Width = 0;
    uint32_t Height = 0;
};

RawSize ParseSize(const std::string& text) {
    const size_t x = text.find('x');
    long long w = 0, h = 0;
    if (x == std::string::npos || !ParseInteger(text.substr(0, x), &w) || !ParseInteger(text.substr(x + 1), &h) ||
        w > 65535 || h > 65535) {
        FailUsage("--size must be WIDTHxHEIGHT in pixels, such as 640x480; got '" + text + "'");
    }
    if (w <= 0 || h <= 0) FailUsage("--size " + text + " has no pixels: width and height must be at least 1");
    if (w % 8 != 0) FailUsage("width " + std::to_string(w) + " is not a multiple of 8");
    if (h % 2 != 0 || h < 4) FailUsage("height " + std::to_string(h) + " is odd or below 4");
    if (static_cast<uint64_t>(w * h) > OfflineDevice::MaxSamples()) FailUsage("size " + text + " is larger than the driver's raw frame buffer");
    return {static_cast<uint32_t>(w), static_cast<uint32_t>(h)};
}

std::vector<uint8_t> ReadRawFrame(const std::string& path, const RawSize& size) {
    std::vector<uint8_t> raw;
    if (std::string problem = ReadWholeFile(path, &raw); !problem.empty()) FailUsage(problem);
    const size_t expected = size_t{size.Width} * size.Height;
    if (raw.size() != expected) {
        FailUsage(path + " holds " + std::to_string(raw.size()) + " bytes, not " + std::to_string(size.Width) + " x " +
                  std::to_string(size.Height) + " = " + std::to_string(expected));
    }
    return raw;
}

void CheckReadable(const std::string& path) {
    std::vector<uint8_t> ignored;
    if (std::string problem = ReadWholeFile(path, &ignored); !path.empty() && !problem.empty()) FailUsage(problem);
}

int RunProcess(const ProcessOptions& options) {
    const RawSize size = ParseSize(options.size);
    std::vector<SettingAssignment> assignments;
    for (const std::string& text : options.settings) {
        assignments.push_back(ParseSettingAssignment(text, SettingPlace::Process));
    }
    const std::vector<uint8_t> raw = ReadRawFrame(options.input, size);
    CheckReadable(options.gainMap);
    CheckReadable(options.defects);

    std::string problem;
    std::unique_ptr<OfflineDevice> offline = OfflineDevice::Create(size.Width, size.Height, &problem);
    if (offline == nullptr) FailRuntime(problem);
    problem = offline->LoadCalibrationFiles(options.gainMap, options.defects);
    if (!problem.empty()) FailUsage(problem);
    for (const SettingAssignment& assignment : assignments) {
        offline->Apply(assignment.Setting->Name, static_cast<uint32_t>(assignment.Value));
    }
    problem = WriteBmp24(options.output, size.Width, size.Height, offline->ProcessFrame(raw));
    if (!problem.empty()) FailRuntime(problem);
    return kDone;
}

void AddProcessCommand(CLI::App& program) {
    auto options = std::make_shared<ProcessOptions>();
    CLI::App* command = program.add_subcommand(
        "process", "Run one raw Bayer frame through the driver's image pipeline into a bitmap");
    command->add_option("--input", options->input, "raw frame: WIDTH x HEIGHT bytes, row 0 first")->required();
    command->add_option("--size", options->size, "frame size WIDTHxHEIGHT")->required();
    command->add_option("--set", options->settings,
                        "NAME=VALUE: a stored setting (registry value name) or a request flag; "
                        "repeatable. Names: " + SettingNames(SettingPlace::Process))
        ->allow_extra_args(false);
    command->add_option("--gainmap", options->gainMap, "flat-field gain map (.dat)");
    command->add_option("--defects", options->defects, "defect table (.bpt)");
    command->add_option("--output", options->output, "24-bit bitmap to write")->required();
    SetCommandAction(command, [options] { return RunProcess(*options); });
}

CommandRegistration registration("process", AddProcessCommand);

}  // namespace
}  // namespace vexacam::tools
