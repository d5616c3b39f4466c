// The property sets the driver registers: three device sets (video control, the private
// camera control set, the video processing amplifier) and three capture-stream sets
// (connection, dropped frames, video control).
#pragma once

#include "controls/camera_control_ids.h"
#include "platform/ks.h"

constexpr ULONG kDevicePropertySetCount = 3;
constexpr ULONG kStreamPropertySetCount = 3;

extern KSPROPERTY_SET DevicePropertySets[kDevicePropertySetCount];
extern KSPROPERTY_SET StreamPropertySets[kStreamPropertySetCount];
