// PROVISIONAL: the settings store's two entry points as the capture stream and the streaming
// engine call them, until the settings store's own header lands (then this file goes).
#pragma once

#include "driver/device_context.h"

// Takes the format's geometry and frame interval, reads the stored settings, places the sensor
// window, rebuilds the tone table and loads the calibration files. False with srb->Status set
// when the format is not a video-info one.
bool LoadSettings(DeviceContext* Device, PHW_STREAM_REQUEST_BLOCK Srb, StreamContext* Stream);

// Writes the current settings to the registry.
void SaveSettings(DeviceContext* Device);
