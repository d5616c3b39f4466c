// Where the read-out window lies on the 2048 x 1536 sensor. In read-out mode 1 the window
// covers twice the frame size in each dimension that is at most half the sensor; the window
// is either centred (OffsetMid) or at the stored offsets H_Off / V_Off.
//
// The property handlers limit the offsets so the window stays on the sensor; the settings load
// copies the stored offsets as they are. Which Control bits select the doubling differs by
// caller, hence the explicit Doubled arguments.
#pragma once

#include "driver/device_context.h"

// Id 12 / 13: stores the offset, lowered to keep the window on the sensor (doubling when
// Control bits 0..1 are 1), and moves the window there unless it is centred; marks.
VOID SetHorizontalOffset(DeviceContext* Device, ULONG Value);
VOID SetVerticalOffset(DeviceContext* Device, ULONG Value);

// Id 17: centres the window (Value 1) or returns it to the clamped offsets; doubling follows
// Control bit 0 alone. Marks.
VOID SetWindowCentring(DeviceContext* Device, ULONG Value);

// Id 22: Control bit 0 = (Value 1), then the window is placed again for the current
// centring, doubling when Control bits 0..1 are 1. Marks.
VOID SetReadOutMode(DeviceContext* Device, ULONG Value);

// The settings load: centred (doubling on Control bit 0) or the stored offsets unclamped.
VOID PlaceLoadedWindow(DeviceContext* Device);
