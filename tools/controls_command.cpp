// vexacam controls: every control of the driver by name, with its value and published range;
// get, set or reset them. Properties go through the framework's property requests, as an
// application's would, so a set is stored by the driver exactly as it would be from any
// client and reaches the registry when the adapter shuts down at the end of the command; the
// command then checks that the registry file holds it. `list` and `get` leave the file alone.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "controls/camera_control_ids.h"
#include "tools/command.h"
#include "tools/control_access.h"
#include "tools/control_json.h"
#include "tools/control_arguments.h"
#include "tools/control_table.h"
#include "tools/driver_bringup.h"
#include "tools/machine_registry.h"
#include "tools/status_text.h"

namespace vexacam::tools {
namespace {

struct ControlsOptions {
    std::string machineRoot;
    std::vector<std::string> args;
    std::string flags;  // amplifier sets: auto or manual
    bool json = false;
};

int ListControls(host::AdapterClient& adapter, bool json) {
    nlohmann::json all = nlohmann::json::array();
    if (!json) std::printf("%-12s %3s  %-20s %-36s %s\n", "set", "id", "name", "value", "range");
    for (const Control& control : Controls()) {
        ControlReading reading;
        const NTSTATUS status = ReadControl(adapter, control, &reading);
        if (json) {
            all.push_back(ControlJson(control, reading, status));
            continue;
        }
        std::string value = NT_SUCCESS(status) ? reading.Text : "(get failed " + StatusText(status) + ")";
        std::string range = RangeText(control);
        if (control.Means != nullptr) range += std::string(range.empty() ? "" : "; ") + "same as " + control.Means;
        const std::string id = control.Set == ControlSet::Registry ? "-" : std::to_string(control.Id);
        std::printf("%-12s %3s  %-20s %-36s %s\n", SetName(control.Set), id.c_str(), control.Name,
                    value.c_str(), range.c_str());
    }
    if (json) std::printf("%s\n", all.dump().c_str());
    return kDone;
}

std::string ReadBack(host::AdapterClient& adapter, const Control& control) {
    ControlReading reading;
    const NTSTATUS status = ReadControl(adapter, control, &reading);
    if (!NT_SUCCESS(status)) FailRuntime("get " + QualifiedName(control) + " failed with status " + StatusText(status));
    return reading.Text;
}

// A stored setting that no property reaches goes straight into the registry; the driver reads
// it when a stream opens. (Brought up here, the driver would save its own value over it.)
int SetStoredValue(const Control& control, int64_t value) {
    WriteStoredValue(control.Name, static_cast<uint32_t>(value));
    const std::string stored = StoreRegistry();
    if (!stored.empty()) FailRuntime("the setting could not be stored: " + stored);
    std::printf("%s = %lld\n", QualifiedName(control).c_str(), static_cast<long long>(value));
    return kDone;
}

// Removes the stored settings, then brings the driver up and down once so that it stores its
// own defaults.
int ResetControls(bool json) {
    ForgetStoredSettings();
    DriverOnCamera device;
    device.Attach();
    nlohmann::json values = nlohmann::json::object();
    for (const Control& control : Controls()) {
        if (control.Use != ControlUse::Setting || control.Means != nullptr) continue;
        ControlReading reading;
        if (NT_SUCCESS(ReadControl(device.Adapter(), control, &reading))) values[control.Name] = reading.Number;
    }
    const NTSTATUS closed = device.Close();
    if (!NT_SUCCESS(closed)) FailRuntime("the driver did not shut down cleanly (status " + StatusText(closed) + ")");
    const std::string stored = StoreRegistry();
    if (!stored.empty()) FailRuntime("the defaults could not be stored: " + stored);
    if (json) {
        std::printf("%s\n", values.dump().c_str());
    } else {
        std::printf("%zu stored settings are back at their defaults\n", values.size());
    }
    return kDone;
}

int RunControls(const ControlsOptions& options) {
    const ControlCommand command = ParseControlCommand(options.args, options.flags);
    const bool readOnly = command.Action != ControlAction::Set && command.Action != ControlAction::Reset;
    UseMachineRoot(options.machineRoot, !readOnly);
    if (readOnly) KeepRegistryFileAsItIs();
    if (command.Action == ControlAction::Reset) return ResetControls(options.json);
    if (command.Action == ControlAction::Set && command.Target->Shape == ValueShape::Stored) {
        return SetStoredValue(*command.Target, command.Values[0]);
    }

    DriverOnCamera device;
    device.Attach();
    host::AdapterClient& adapter = device.Adapter();
    int result = kDone;
    if (command.Action == ControlAction::List) {
        result = ListControls(adapter, options.json);
    } else if (command.Action == ControlAction::Get) {
        std::printf("%s = %s\n", QualifiedName(*command.Target).c_str(), ReadBack(adapter, *command.Target).c_str());
    } else {
        const Control& control = *command.Target;
        bool switchedOff = false;
        const NTSTATUS switched = SwitchOffAutoExposureFor(adapter, control, command.Flags, &switchedOff);
        if (!NT_SUCCESS(switched)) {
            FailRuntime("automatic exposure could not be switched off (status " + StatusText(switched) + ")");
        }
        const NTSTATUS status = WriteControl(adapter, control, command.Values, command.Flags);
        if (!NT_SUCCESS(status)) FailRuntime("set " + QualifiedName(control) + " failed with status " + StatusText(status));
        std::printf("%s = %s%s\n", QualifiedName(control).c_str(), ReadBack(adapter, control).c_str(),
                    switchedOff ? " (automatic exposure switched off)" : "");
    }
    const NTSTATUS closed = device.Close();
    if (!NT_SUCCESS(closed)) FailRuntime("the driver did not shut down cleanly (status " + StatusText(closed) + ")");
    if (!readOnly) {
        const std::string stored = StoreRegistry();
        if (!stored.empty()) FailRuntime("the setting could not be stored: " + stored);
    }
    return result;
}

void AddControlsCommand(CLI::App& program) {
    auto options = std::make_shared<ControlsOptions>();
    CLI::App* command = program.add_subcommand(
        "controls", "List, get, set or reset the camera's controls (stored in the machine's registry)");
    command->footer(
        "Actions:\n"
        "  list                       every control with its value, range, step and default\n"
        "  get NAME | get SET ID      one control\n"
        "  set NAME VALUE | set SET ID VALUE...\n"
        "  reset                      every stored setting back to the driver's default\n"
        "NAME is a registry value name (Exposal, Contrast, R_Gain, ALL_Gain, Saturntion ...) or\n"
        "another control as listed; the amplifier's names (Brightness, WhiteBalance, Gain ...)\n"
        "stand for the settings they reach. SET is camera, procamp, videocontrol or registry;\n"
        "SET.NAME names one set's control. Values outside the published range are refused.\n"
        "The camera window (camera 18) takes four values: height width x y.\n"
        "Setting Exposal switches automatic exposure (AEing) off, as the driver takes no exposure\n"
        "by hand while it runs.");
    command->add_option("--machine-root", options->machineRoot, "Directory of the machine's registry and SystemRoot");
    command->add_option("--flags", options->flags, "For procamp Brightness and WhiteBalance: auto or manual");
    command->add_flag("--json", options->json, "list and reset: one JSON value on standard output");
    command->add_option("action", options->args, "list | get ... | set ... | reset");
    SetCommandAction(command, [options] { return RunControls(*options); });
}

CommandRegistration registration("controls", AddControlsCommand);

}  // namespace
}  // namespace vexacam::tools
