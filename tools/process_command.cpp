// vexacam process: one raw Bayer frame from a file through the driver's stage sequence, on a
// freshly initialised device, to a 24-bit bitmap.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "controls/control_actions.h"
#include "controls/stored_settings.h"
#include "driver/device_context.h"
#include "tools/bmp_file.h"
#include "tools/command.h"
#include "tools/offline_device.h"
#include "tools/setting_value.h"

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

// Stored settings go through the settings loader's own rules; requests as the properties set them.
enum class Applies { StoredSetting, OnePushExposure, OnePushWhiteBalance, GainMapCapture };

struct Setting {
    const char* name;
    ValueRange range;  // checked before the value is applied
    Applies applies;
};

const Setting kSettings[] = {
    {"Contrast", ValueRange::Byte, Applies::StoredSetting},
    {"ColorAdjustType", ValueRange::Unsigned32, Applies::StoredSetting},
    {"Saturntion", ValueRange::Byte, Applies::StoredSetting},
    {"Gamma", ValueRange::Byte, Applies::StoredSetting},  // then clamped to the gamma table
    {"R_Gain", ValueRange::Signed32, Applies::StoredSetting},
    {"G_Gain", ValueRange::Signed32, Applies::StoredSetting},
    {"B_Gain", ValueRange::Signed32, Applies::StoredSetting},
    {"BWPreview", ValueRange::Unsigned32, Applies::StoredSetting},
    {"VideoModel", ValueRange::Byte, Applies::StoredSetting},
    {"CrossLine", ValueRange::Unsigned32, Applies::StoredSetting},
    {"CrossMid", ValueRange::Unsigned32, Applies::StoredSetting},
    {"CrossX", ValueRange::Unsigned32, Applies::StoredSetting},
    {"CrossY", ValueRange::Unsigned32, Applies::StoredSetting},
    {"LightAVG", ValueRange::Unsigned32, Applies::StoredSetting},
    {"H_Off", ValueRange::Unsigned32, Applies::StoredSetting},
    {"V_Off", ValueRange::Unsigned32, Applies::StoredSetting},
    {"Exposal", ValueRange::Unsigned32, Applies::StoredSetting},
    {"LightModel", ValueRange::Byte, Applies::StoredSetting},
    {"AEing", ValueRange::Unsigned32, Applies::StoredSetting},
    {"OnePushExposure", ValueRange::Unsigned32, Applies::OnePushExposure},
    {"OnePushWhiteBalance", ValueRange::Unsigned32, Applies::OnePushWhiteBalance},
    {"GainMapCapture", ValueRange::Unsigned32, Applies::GainMapCapture},
};

struct Assignment {
    const Setting* setting;
    uint32_t value;
};

class BadInput {
public:
    explicit BadInput(std::string message) : message_(std::move(message)) {}
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

void ParseSize(const std::string& text, uint32_t* width, uint32_t* height) {
    const size_t x = text.find('x');
    long long w = 0, h = 0;
    if (x == std::string::npos || !ParseDecimal(text.substr(0, x), &w) ||
        !ParseDecimal(text.substr(x + 1), &h) || w <= 0 || h <= 0 || w > 65535 || h > 65535) {
        throw BadInput("--size must be WIDTHxHEIGHT, got '" + text + "'");
    }
    if (w % 8 != 0) throw BadInput("width " + std::to_string(w) + " is not a multiple of 8");
    if (h % 2 != 0 || h < 4) throw BadInput("height " + std::to_string(h) + " is odd or below 4");
    if (w * h > kRawFrameBytes) {
        throw BadInput("size " + text + " is larger than the driver's raw frame buffer");
    }
    *width = static_cast<uint32_t>(w);
    *height = static_cast<uint32_t>(h);
}

Assignment ParseAssignment(const std::string& text) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) throw BadInput("--set must be NAME=VALUE, got '" + text + "'");
    const std::string name = text.substr(0, equals);
    const std::string valueText = text.substr(equals + 1);
    const Setting* setting = nullptr;
    for (const Setting& candidate : kSettings) {
        if (name == candidate.name) setting = &candidate;
    }
    if (setting == nullptr) throw BadInput("unknown setting '" + name + "'");
    long long value = 0;
    if (!ParseDecimal(valueText, &value) || !RangeHolds(setting->range, value)) {
        throw BadInput("setting " + name + " cannot hold the value '" + valueText + "'");
    }
    return {setting, static_cast<uint32_t>(value)};
}

std::u16string Widen(const char* text) {
    std::u16string wide;
    for (; *text != '\0'; ++text) wide.push_back(static_cast<char16_t>(*text));
    return wide;
}

void Apply(DeviceContext* device, const Assignment& assignment) {
    switch (assignment.setting->applies) {
        case Applies::StoredSetting: {
            const std::u16string name = Widen(assignment.setting->name);
            ApplyStoredSetting(device, reinterpret_cast<PCWSTR>(name.c_str()), assignment.value);
            break;
        }
        case Applies::OnePushExposure:  // refused while automatic exposure runs
            if (device->AEing == 0) device->OnePushExposure = assignment.value != 0;
            break;
        case Applies::OnePushWhiteBalance: device->OnePushWhiteBalance = assignment.value != 0; break;
        case Applies::GainMapCapture: device->GainMapCapture = 1; break;  // whatever the value
    }
}

std::vector<uint8_t> ReadRawFrame(const std::string& path, uint32_t width, uint32_t height) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw BadInput("cannot read " + path + ": " + std::strerror(errno));
    std::vector<uint8_t> raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) throw BadInput("cannot read " + path);
    const size_t expected = size_t{width} * height;
    if (raw.size() != expected) {
        throw BadInput(path + " holds " + std::to_string(raw.size()) + " bytes, not " +
                       std::to_string(width) + " x " + std::to_string(height) + " = " +
                       std::to_string(expected));
    }
    return raw;
}

void CheckReadable(const std::string& path) {
    if (path.empty()) return;
    std::ifstream file(path, std::ios::binary);
    if (!file) throw BadInput("cannot read " + path + ": " + std::strerror(errno));
}

int RunProcess(const ProcessOptions& options) {
    uint32_t width = 0, height = 0;
    ParseSize(options.size, &width, &height);
    std::vector<Assignment> assignments;
    for (const std::string& text : options.settings) assignments.push_back(ParseAssignment(text));
    const std::vector<uint8_t> raw = ReadRawFrame(options.input, width, height);
    CheckReadable(options.gainMap);
    CheckReadable(options.defects);

    std::string problem;
    std::unique_ptr<OfflineDevice> offline = OfflineDevice::Create(width, height, &problem);
    if (offline == nullptr) throw BadInput(problem);
    problem = offline->LoadCalibrationFiles(options.gainMap, options.defects);
    if (!problem.empty()) throw BadInput(problem);
    DeviceContext* device = offline->Device();
    for (const Assignment& assignment : assignments) Apply(device, assignment);
    SetGammaIndex(device, device->Gamma);  // the tone table for the gamma in force

    problem = WriteBmp24(options.output, width, height, offline->ProcessFrame(raw));
    if (!problem.empty()) {
        std::fprintf(stderr, "vexacam process: %s\n", problem.c_str());
        return kRuntimeError;
    }
    return 0;
}

void AddProcessCommand(CLI::App& program) {
    auto options = std::make_shared<ProcessOptions>();
    CLI::App* command = program.add_subcommand(
        "process", "Run one raw Bayer frame through the driver's image pipeline into a bitmap");
    command->add_option("--input", options->input, "raw frame: WIDTH x HEIGHT bytes, row 0 first")
        ->required();
    command->add_option("--size", options->size, "frame size WIDTHxHEIGHT")->required();
    command->add_option("--set", options->settings,
                        "NAME=VALUE: a stored setting (registry value name) or a request flag "
                        "(OnePushExposure, OnePushWhiteBalance, GainMapCapture); repeatable")
        ->allow_extra_args(false);
    command->add_option("--gainmap", options->gainMap, "flat-field gain map (.dat)");
    command->add_option("--defects", options->defects, "defect table (.bpt)");
    command->add_option("--output", options->output, "24-bit bitmap to write")->required();
    command->callback([options]() {
        try {
            SetExitStatus(RunProcess(*options));
        } catch (const BadInput& bad) {
            std::fprintf(stderr, "vexacam process: %s\n", bad.message().c_str());
            SetExitStatus(kUsageError);
        }
    });
}

CommandRegistration registration("process", AddProcessCommand);

}  // namespace
}  // namespace vexacam::tools
