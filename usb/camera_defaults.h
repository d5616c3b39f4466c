// The device record's values right after initialization, before the stored settings are read:
// the first command block the camera gets and the image settings of a fresh install.
#pragma once

#include "platform/types.h"

struct DeviceContext;

// Writes the defaults on top of a zero-filled record; fields not named stay 0. Called by
// InitializeCamera at PASSIVE_LEVEL, and by anything that builds a record without a camera.
VOID WriteCameraDefaults(DeviceContext* Device);
