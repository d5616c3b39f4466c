// One control as JSON, the same for `controls list --json` and the server's API: set, name,
// id, value, whether it can be set, what it is for (setting, request, calibration, value,
// read-only, unused), and the published range, step and default.
#pragma once

#include <nlohmann/json.hpp>

#include "tools/control_access.h"
#include "tools/control_table.h"

namespace vexacam::tools {

// "procamp.Contrast"
std::string QualifiedName(const Control& control);

// The reading's value: a number, the window's four parts as an object, or null.
nlohmann::json ReadingJson(const ControlReading& reading);

// The control with the reading of it (a failed read gives a null value and an "error").
nlohmann::json ControlJson(const Control& control, const ControlReading& reading, NTSTATUS status);

}  // namespace vexacam::tools
