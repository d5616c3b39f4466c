// How the command line names controls and values: `controls get|set|list|reset ...` and the
// NAME=VALUE settings of `capture --set` and `process --set`. Every value is checked against
// the control's published range here, before anything is brought up; a bad one ends the
// command with status 2 and a line that gives the range or the choices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/control_table.h"

namespace vexacam::tools {

enum class ControlAction { List, Get, Set, Reset };

struct ControlCommand {
    ControlAction Action = ControlAction::List;
    const Control* Target = nullptr;  // get and set
    std::vector<int64_t> Values;      // set: one, or four for the camera window
    ULONG Flags = 0;                  // set of an amplifier property: auto or manual, or 0
};

// `controls ARGS... [--flags auto|manual]`. The control: "SET ID", "SET NAME", "SET.NAME" or a
// NAME (see FindSetting).
ControlCommand ParseControlCommand(const std::vector<std::string>& args, const std::string& flags);

// Whether `controls set` takes it: stored settings and the values the driver keeps, not
// requests (they act on a running stream), calibration captures or read-only controls.
bool Settable(const Control& control);

// Where a --set applies: to the live driver before a capture runs, or to the offline pipeline
// of `process` (which also takes the gain-map capture request).
enum class SettingPlace { Capture, Process };

struct SettingAssignment {
    const Control* Setting = nullptr;
    int64_t Value = 0;
};

// NAME=VALUE, checked for the place.
SettingAssignment ParseSettingAssignment(const std::string& text, SettingPlace place);

// The names --set takes at the place, for help texts.
std::string SettingNames(SettingPlace place);

}  // namespace vexacam::tools
