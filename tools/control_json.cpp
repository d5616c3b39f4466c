#include "tools/control_json.h"

#include "tools/control_arguments.h"
#include "tools/status_text.h"

namespace vexacam::tools {
namespace {

const char* UseName(ControlUse use) {
    switch (use) {
        case ControlUse::Setting: return "setting";
        case ControlUse::Request: return "request";
        case ControlUse::Calibration: return "calibration";
        case ControlUse::Value: return "value";
        case ControlUse::ReadOnly: return "read-only";
        case ControlUse::Unused: return "unused";
    }
    return "unused";
}

}  // namespace

std::string QualifiedName(const Control& control) {
    return std::string(SetName(control.Set)) + "." + control.Name;
}

nlohmann::json ReadingJson(const ControlReading& reading) {
    if (!reading.Parts.empty()) {
        return {{"height", reading.Parts[0]}, {"width", reading.Parts[1]}, {"x", reading.Parts[2]}, {"y", reading.Parts[3]}};
    }
    if (reading.HasNumber) return reading.Number;
    return nullptr;
}

nlohmann::json ControlJson(const Control& control, const ControlReading& reading, NTSTATUS status) {
    nlohmann::json json = {
        {"set", SetName(control.Set)},
        {"name", control.Name},
        {"value", NT_SUCCESS(status) ? ReadingJson(reading) : nlohmann::json(nullptr)},
        {"settable", Settable(control)},
        {"use", UseName(control.Use)},
    };
    if (control.Set != ControlSet::Registry) json["id"] = control.Id;
    if (control.Ranged) {
        json["min"] = control.Range.Minimum;
        json["max"] = control.Range.Maximum;
        json["step"] = control.Range.Step;
        json["default"] = control.Range.Default;
    }
    if (control.Means != nullptr) json["same_as"] = control.Means;
    if (!reading.Flags.empty()) json["flags"] = reading.Flags;
    if (!NT_SUCCESS(status)) json["error"] = "get failed with status " + StatusText(status);
    return json;
}

}  // namespace vexacam::tools
