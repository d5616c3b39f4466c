// The driver's one variable outside the device context.
#include "driver/device_context.h"

// Counts down the frames between exposure control steps; shared by every adapter.
LONG ExposureFrameDivider = 1;
