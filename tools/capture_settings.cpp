#include "tools/capture_settings.h"

#include "tools/control_access.h"
#include "tools/machine_registry.h"
#include "tools/status_text.h"

namespace vexacam::tools {
namespace {

bool Mentions(const std::vector<SettingAssignment>& assignments, const char* name) {
    for (const SettingAssignment& assignment : assignments) {
        if (std::string(assignment.Setting->Name) == name) return true;
    }
    return false;
}

std::string Send(host::AdapterClient& adapter, const SettingAssignment& assignment) {
    const NTSTATUS status = WriteControl(adapter, *assignment.Setting, {assignment.Value});
    if (NT_SUCCESS(status)) return "";
    return "setting " + std::string(assignment.Setting->Name) + " failed with status " + StatusText(status);
}

}  // namespace

std::string StoreRegistrySettings(const std::vector<SettingAssignment>& assignments) {
    bool any = false;
    for (const SettingAssignment& assignment : assignments) {
        if (assignment.Setting->Shape != ValueShape::Stored) continue;
        WriteStoredValue(assignment.Setting->Name, static_cast<uint32_t>(assignment.Value));
        any = true;
    }
    return any ? StoreRegistry() : "";
}

std::string ApplySettings(host::AdapterClient& adapter, const std::vector<SettingAssignment>& assignments) {
    if (!Mentions(assignments, "AEing")) {
        const bool byHand = Mentions(assignments, "Exposal") || Mentions(assignments, "OnePushExposure");
        const NTSTATUS status = SetAutoExposure(adapter, !byHand);
        if (!NT_SUCCESS(status)) return "automatic exposure could not be set (status " + StatusText(status) + ")";
    }
    for (const SettingAssignment& assignment : assignments) {
        if (assignment.Setting->Use == ControlUse::Request || assignment.Setting->Shape == ValueShape::Stored) continue;
        if (std::string problem = Send(adapter, assignment); !problem.empty()) return problem;
    }
    return "";
}

std::string ApplyRequests(host::AdapterClient& adapter, const std::vector<SettingAssignment>& assignments) {
    for (const SettingAssignment& assignment : assignments) {
        if (assignment.Setting->Use != ControlUse::Request) continue;
        if (std::string problem = Send(adapter, assignment); !problem.empty()) return problem;
    }
    return "";
}

std::vector<std::pair<std::string, int64_t>> ReadBackSettings(host::AdapterClient& adapter,
                                                              const std::vector<SettingAssignment>& assignments) {
    std::vector<std::pair<std::string, int64_t>> settings;
    for (const SettingAssignment& assignment : assignments) {
        if (assignment.Setting->Use == ControlUse::Request) continue;
        ControlReading reading;
        if (NT_SUCCESS(ReadControl(adapter, *assignment.Setting, &reading)) && reading.HasNumber) {
            settings.emplace_back(assignment.Setting->Name, reading.Number);
        }
    }
    return settings;
}

RenderState ReadRenderState(host::AdapterClient& adapter) {
    RenderState state;
    for (const Control& control : Controls()) {
        if (control.Use != ControlUse::Setting || control.Means != nullptr) continue;
        ControlReading reading;
        if (NT_SUCCESS(ReadControl(adapter, control, &reading)) && reading.HasNumber) {
            state.Settings[control.Name] = static_cast<uint32_t>(reading.Number);
        }
    }
    return state;
}

void PollRenderState(host::AdapterClient& adapter, RenderState* state) {
    for (const char* name : {"Exposal", "R_Gain", "G_Gain", "B_Gain", "OnePushExposure", "OnePushWhiteBalance"}) {
        ControlReading reading;
        const Control* control = FindSetting(name);
        if (!NT_SUCCESS(ReadControl(adapter, *control, &reading)) || !reading.HasNumber) continue;
        const uint32_t value = static_cast<uint32_t>(reading.Number);
        if (control->Use != ControlUse::Request) {
            state->Settings[name] = value;
        } else if (std::string(name) == "OnePushExposure") {
            state->ExposurePending = value != 0;
        } else {
            state->WhiteBalancePending = value != 0;
        }
    }
}

}  // namespace vexacam::tools
