// The program's one table of names for the camera control set's ids. An id that reaches a
// stored setting is named by that setting's registry value name (R_Gain, ALL_Gain), the name
// `--set` takes; the others by the driver's field or by what the id does.
#pragma once

#include <string>

#include "controls/camera_control_ids.h"

namespace vexacam::tools {

// The name of a camera control id (kCameraControlCount ids, 0 .. 38).
const char* CameraControlName(CameraControlId id);

// The id named `name` exactly; false when no id has that name.
bool FindCameraControl(const std::string& name, CameraControlId* id);

}  // namespace vexacam::tools
