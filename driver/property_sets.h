// The property sets the driver registers: three device sets (video control, the private
// camera control set, the video processing amplifier) and three capture-stream sets
// (connection, dropped frames, video control).
#pragma once

#include "platform/ks.h"

constexpr ULONG kDevicePropertySetCount = 3;
constexpr ULONG kStreamPropertySetCount = 3;

// {1F8D9300-AB21-48FE-0100-519EBAED4B67}
inline constexpr GUID CameraControlSet = {
    0x1F8D9300, 0xAB21, 0x48FE, {0x01, 0x00, 0x51, 0x9E, 0xBA, 0xED, 0x4B, 0x67}};

extern KSPROPERTY_SET DevicePropertySets[kDevicePropertySetCount];
extern KSPROPERTY_SET StreamPropertySets[kStreamPropertySetCount];
