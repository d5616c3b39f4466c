#include "tools/control_arguments.h"

#include <cctype>

#include "controls/camera_control_ids.h"
#include "platform/ks.h"
#include "tools/command.h"

namespace vexacam::tools {
namespace {

// Checks against the sensor: the window must lie on its 2048 x 1536 pixels.
void CheckWindow(const std::vector<int64_t>& values) {
    const int64_t height = values[0], width = values[1], x = values[2], y = values[3];
    if (height < 1 || height > 1536 || width < 1 || width > 2048 || x < 0 || y < 0 ||
        x + width > 2048 || y + height > 1536) {
        FailUsage("the camera window (height width x y) must lie on the 2048 x 1536 sensor: height 1..1536, "
                  "width 1..2048, x + width <= 2048, y + height <= 1536");
    }
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool SetByName(const std::string& text, ControlSet* set) {
    const std::string name = Lower(text);
    for (ControlSet candidate : {ControlSet::VideoControl, ControlSet::Camera, ControlSet::ProcAmp, ControlSet::Registry}) {
        if (name == SetName(candidate)) {
            *set = candidate;
            return true;
        }
    }
    return false;
}

// Takes the control from the front of Args, leaving the values.
const Control* TakeControl(std::vector<std::string>* args) {
    if (args->empty()) FailUsage("name the control (see 'vexacam controls list')");
    const std::string first = (*args)[0];
    ControlSet set;
    if (SetByName(first, &set)) {
        if (args->size() < 2) FailUsage("name the control of the " + first + " set");
        const std::string second = (*args)[1];
        long long id = 0;
        const Control* found = ParseInteger(second, &id) && id >= 0 && set != ControlSet::Registry
                                   ? FindInSet(set, static_cast<ULONG>(id))
                                   : FindInSet(set, second);
        if (found == nullptr) FailUsage("no control " + second + " in the " + SetName(set) + " set (see 'vexacam controls list')");
        args->erase(args->begin(), args->begin() + 2);
        return found;
    }
    const size_t dot = first.find('.');
    const Control* found = nullptr;
    if (dot != std::string::npos && SetByName(first.substr(0, dot), &set)) {
        found = FindInSet(set, first.substr(dot + 1));
    } else {
        found = FindSetting(first);
        if (found == nullptr) found = FindInSet(ControlSet::VideoControl, first);
    }
    if (found == nullptr) FailUsage("no control named '" + first + "' (see 'vexacam controls list')");
    args->erase(args->begin());
    return found;
}

std::string WhyNotSettable(const Control& control) {
    switch (control.Use) {
        case ControlUse::Request:
            return std::string(control.Name) + " is a request a running stream acts on: use 'vexacam capture --set " +
                   control.Name + "=1'";
        case ControlUse::Calibration:
            return std::string(control.Name) + " starts a calibration capture: use 'vexacam calibrate " +
                   (control.Id == kControlDefectCapture ? "defects'" : "gainmap'");
        default:
            return std::string(SetName(control.Set)) + "." + control.Name + " cannot be set";
    }
}

int64_t ParseValue(const Control& control, const std::string& text) {
    long long value = 0;
    if (!ParseInteger(text, &value)) FailUsage(std::string(control.Name) + " takes a whole number, not '" + text + "'");
    return value;
}

bool TakenAt(const Control& control, SettingPlace place) {
    if (control.Shape == ValueShape::Window || control.Shape == ValueShape::VideoControl) return false;
    switch (control.Use) {
        case ControlUse::Setting: return true;
        case ControlUse::Request: return true;
        case ControlUse::Calibration: return place == SettingPlace::Process && control.Id == kControlGainMapCapture;
        case ControlUse::Value: return place == SettingPlace::Capture;
        default: return false;
    }
}

}  // namespace

bool Settable(const Control& control) {
    if (control.Set == ControlSet::VideoControl) return false;
    return control.Use == ControlUse::Setting || control.Use == ControlUse::Value;
}

ControlCommand ParseControlCommand(const std::vector<std::string>& args, const std::string& flags) {
    ControlCommand command;
    if (args.empty()) FailUsage("say list, get, set or reset");
    const std::string& action = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (action == "list" || action == "reset") {
        if (!rest.empty()) FailUsage(action + " takes no arguments");
        command.Action = action == "list" ? ControlAction::List : ControlAction::Reset;
    } else if (action == "get" || action == "set") {
        command.Action = action == "get" ? ControlAction::Get : ControlAction::Set;
        command.Target = TakeControl(&rest);
    } else {
        FailUsage("unknown action '" + action + "': say list, get, set or reset");
    }
    if (!flags.empty() && command.Action != ControlAction::Set) FailUsage("--flags goes with set");
    if (command.Action == ControlAction::Get && !rest.empty()) FailUsage("get takes no value");
    if (command.Action != ControlAction::Set) return command;

    const Control& control = *command.Target;
    if (!Settable(control)) FailUsage(WhyNotSettable(control));
    const size_t count = control.Shape == ValueShape::Window ? 4 : 1;
    if (rest.size() != count) {
        FailUsage(count == 4 ? "the camera window takes four values: height width x y"
                             : "set " + std::string(control.Name) + " takes one value");
    }
    for (const std::string& text : rest) command.Values.push_back(ParseValue(control, text));
    if (control.Shape == ValueShape::Window) {
        CheckWindow(command.Values);
    } else if (const std::string problem = CheckRange(control, command.Values[0]); !problem.empty()) {
        FailUsage(problem);
    }
    if (!flags.empty()) {
        const bool flagged = control.Shape == ValueShape::ProcAmp &&
                             (control.Id == KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS || control.Id == KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE);
        if (!flagged) FailUsage("--flags goes only with procamp.Brightness and procamp.WhiteBalance");
        if (flags != "auto" && flags != "manual") FailUsage("--flags is auto or manual, not '" + flags + "'");
        command.Flags = flags == "auto" ? KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO : KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;
    }
    return command;
}

SettingAssignment ParseSettingAssignment(const std::string& text, SettingPlace place) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) FailUsage("--set must be NAME=VALUE, got '" + text + "'");
    const std::string name = text.substr(0, equals);
    const Control* control = FindSetting(name);
    if (control == nullptr || !TakenAt(*control, place)) {
        if (control != nullptr && control->Use == ControlUse::Calibration) FailUsage(WhyNotSettable(*control));
        FailUsage("unknown setting '" + name + "' (names: " + SettingNames(place) + ")");
    }
    SettingAssignment assignment{control, ParseValue(*control, text.substr(equals + 1))};
    if (const std::string problem = CheckRange(*control, assignment.Value); !problem.empty()) FailUsage(problem);
    return assignment;
}

std::string SettingNames(SettingPlace place) {
    std::string names;
    for (const Control& control : Controls()) {
        if (control.Means != nullptr || !TakenAt(control, place)) continue;
        if (!names.empty()) names += ", ";
        names += control.Name;
    }
    return names;
}

}  // namespace vexacam::tools
