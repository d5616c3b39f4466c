// The device property sets' item tables the framework validates requests against (the driver
// registers them, driver/property_sets.h), and the two adapter handlers that serve the sets.
#pragma once

#include "controls/camera_control_ids.h"
#include "platform/ks.h"
#include "platform/strmini.h"

constexpr ULONG kVideoControlItemCount = 4;
constexpr ULONG kCameraControlItemCount = kCameraControlCount;
constexpr ULONG kVideoProcAmpItemCount = 7;

// The four video control items; the capture stream's video control set uses the same table.
extern const KSPROPERTY_ITEM VideoControlProperties[kVideoControlItemCount];
extern const KSPROPERTY_ITEM CameraControlProperties[kCameraControlItemCount];
// In the order BRIGHTNESS's neighbours are published: 1, 5, 9, 7, 3, 4, 0.
extern const KSPROPERTY_ITEM VideoProcAmpProperties[kVideoProcAmpItemCount];

// SRB_GET_DEVICE_PROPERTY / SRB_SET_DEVICE_PROPERTY, called by the adapter dispatch at
// PASSIVE_LEVEL (ids 18 and 34 talk to the camera synchronously). Set srb->Status and, for
// gets, srb->ActualBytesTransferred; the caller completes the request.
void GetDeviceProperty(PHW_STREAM_REQUEST_BLOCK Srb);
void SetDeviceProperty(PHW_STREAM_REQUEST_BLOCK Srb);
