// vexacam process: one raw Bayer frame from a file through the driver's stage sequence, on a
// freshly initialised device, to a 24-bit bitmap; with --replay, in the state a capture's
// per-frame record gives for it, which makes the captured picture again byte for byte.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/bmp_file.h"
#include "tools/command.h"
#include "tools/control_arguments.h"
#include "tools/frame_record.h"
#include "tools/offline_device.h"
#include "tools/whole_file.h"

namespace vexacam::tools {
namespace {

struct ProcessOptions {
    std::string input;
    std::string size;
    std::string replay;
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
    if (static_cast<uint64_t>(w * h) > OfflineDevice::MaxSamples()) {
        FailUsage("size " + text + " is larger than the driver's raw frame buffer");
    }
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
    if (path.empty()) return;
    if (std::string problem = ReadWholeFile(path, &ignored); !problem.empty()) FailUsage(problem);
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }
std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The record of the capture's frames.jsonl that names the input among its files.
FrameRecord FindRecord(const std::string& recordPath, const std::string& input) {
    std::vector<uint8_t> bytes;
    if (std::string problem = ReadWholeFile(recordPath, &bytes); !problem.empty()) FailUsage(problem);
    const std::string text(bytes.begin(), bytes.end());
    const std::string name = BaseName(input);
    size_t number = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (line.empty()) continue;
        const FrameRecord record = ParseRecordLine(line, number);
        for (const std::string& file : record.Files) {
            if (file == name) return record;
        }
    }
    FailUsage("no record in " + recordPath + " names " + name + " (a raw frame of that capture, raw-NNNN.raw)");
}

void ApplyAssignment(const SettingAssignment& assignment, RenderState* state) {
    const std::string name = assignment.Setting->Name;
    const uint32_t value = static_cast<uint32_t>(assignment.Value);
    if (name == "OnePushExposure") {
        state->ExposurePending = value != 0;
    } else if (name == "OnePushWhiteBalance") {
        state->WhiteBalancePending = value != 0;
    } else if (name == "GainMapCapture") {
        state->GainMapCapture = true;  // whatever the value, as its property
    } else {
        state->Settings[name] = value;
        if (name == "R_Gain" || name == "G_Gain" || name == "B_Gain") state->Tables.reset();
    }
}

int RunProcess(const ProcessOptions& options) {
    std::vector<SettingAssignment> assignments;
    for (const std::string& text : options.settings) {
        assignments.push_back(ParseSettingAssignment(text, SettingPlace::Process));
    }
    RawSize size;
    RenderState state;
    std::string gainMap = options.gainMap;
    std::string defects = options.defects;
    if (!options.replay.empty()) {
        const FrameRecord record = FindRecord(options.replay, options.input);
        size = {record.Width, record.Height};
        if (!options.size.empty()) {
            const RawSize given = ParseSize(options.size);
            if (given.Width != size.Width || given.Height != size.Height) {
                FailUsage("--size " + options.size + " is not the recorded " + std::to_string(size.Width) + "x" +
                          std::to_string(size.Height));
            }
        }
        ParseSize(std::to_string(size.Width) + "x" + std::to_string(size.Height));
        state = record.State;
        const std::string directory = DirectoryOf(options.replay) + "/";
        if (gainMap.empty() && !record.GainMapFile.empty()) gainMap = directory + record.GainMapFile;
        if (defects.empty() && !record.DefectTableFile.empty()) defects = directory + record.DefectTableFile;
    } else {
        if (options.size.empty()) FailUsage("--size WIDTHxHEIGHT is needed without --replay");
        size = ParseSize(options.size);
    }
    for (const SettingAssignment& assignment : assignments) ApplyAssignment(assignment, &state);
    // The driver takes no one-push exposure while automatic exposure runs.
    if (state.Settings.count("AEing") != 0 && state.Settings["AEing"] != 0) state.ExposurePending = false;
    const std::vector<uint8_t> raw = ReadRawFrame(options.input, size);
    CheckReadable(gainMap);
    CheckReadable(defects);

    std::string problem;
    std::unique_ptr<OfflineDevice> offline = OfflineDevice::Create(size.Width, size.Height, &problem);
    if (offline == nullptr) FailRuntime(problem);
    problem = offline->LoadCalibrationFiles(gainMap, defects);
    if (!problem.empty()) FailUsage(problem);
    problem = WriteBmp24(options.output, size.Width, size.Height, offline->Render(raw, state));
    if (!problem.empty()) FailRuntime(problem);
    return kDone;
}

void AddProcessCommand(CLI::App& program) {
    auto options = std::make_shared<ProcessOptions>();
    CLI::App* command = program.add_subcommand(
        "process", "Run one raw Bayer frame through the driver's image pipeline into a bitmap");
    command->add_option("--input", options->input, "raw frame: WIDTH x HEIGHT bytes, row 0 first")->required();
    command->add_option("--size", options->size, "frame size WIDTHxHEIGHT (needed without --replay)");
    command->add_option("--replay", options->replay,
                        "a capture's frames.jsonl: process the input in the state recorded for it (its size, "
                        "settings, gain tables, one-shot requests and calibration files), which gives the "
                        "captured picture byte for byte");
    command->add_option("--set", options->settings,
                        "NAME=VALUE: a stored setting (registry value name) or a request flag, on top of the "
                        "record with --replay; repeatable. Names: " + SettingNames(SettingPlace::Process))
        ->allow_extra_args(false);
    command->add_option("--gainmap", options->gainMap, "flat-field gain map (.dat)");
    command->add_option("--defects", options->defects, "defect table (.bpt)");
    command->add_option("--output", options->output, "24-bit bitmap to write")->required();
    SetCommandAction(command, [options] { return RunProcess(*options); });
}

CommandRegistration registration("process", AddProcessCommand);

}  // namespace
}  // namespace vexacam::tools
