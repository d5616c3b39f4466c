// The user settings kept under \Registry\Machine\SOFTWARE\Korvald: 25 REG_DWORD values read
// into DeviceContext fields when a stream gets a format, and written back at stop, close and
// uninitialization. Registry and file calls: PASSIVE_LEVEL only.
#pragma once

#include "driver/device_context.h"

// Stream open: takes the format's geometry and frame interval, reads the stored settings,
// places the sensor window, rebuilds the tone table for the stored gamma and loads the
// calibration files for the frame width. False with srb->Status set when the format is not a
// whole video-info one.
bool LoadSettings(DeviceContext* Device, PHW_STREAM_REQUEST_BLOCK Srb, StreamContext* Stream);

// SRB_SET_DATA_FORMAT on a stopped stream: as LoadSettings, but the settings in force stay.
// They were read at the open, and a property changed since (not saved until the next stop)
// must not give way to the stored value.
bool ChangeFormat(DeviceContext* Device, PHW_STREAM_REQUEST_BLOCK Srb, StreamContext* Stream);

// Writes the 25 values. Failures are silent: the stored values stay as they were.
void SaveSettings(DeviceContext* Device);

// For InitializeCamera, after the defaults are written and the pipeline tables exist: reads the
// stored settings and rebuilds the tone table, so that property gets before the first stream
// open show the user's values and a save without any open writes them back rather than the
// initialization defaults.
VOID LoadStoredSettings(DeviceContext* Device);
