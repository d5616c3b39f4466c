// The settings the frame sequence works with: what the stages read each frame and the one-shot
// requests they consume. The device holds one record (written by property requests and the
// settings load, without a lock, while a frame may be in the sequence); offline processing
// and the benchmarks build their own. Each field is read once when its stage tests it
// (ReadOnce) and written whole (WriteOnce), so a change takes effect from the next stage that
// reads it.
#pragma once

#include "platform/types.h"

struct ImageSettings {
    ULONG CrossLine;            // crosshair overlay on
    ULONG CrossX;               // crosshair position when not centred
    ULONG CrossY;
    ULONG BWPreview;            // grey picture instead of colour
    ULONG OnePushWhiteBalance;  // request: consumed by the next frame
    ULONG OnePushExposure;      // request: cleared once the exposure is in the band
    ULONG LightAVG;             // flat-field correction on
    ULONG GainMapCapture;       // request: capture a gain map from the next frame
    UCHAR VideoModel;           // demosaic orientation and edge repair
    UCHAR LightModel;           // target brightness band of the exposure controls
    ULONG H_Off;                // sensor window offsets: defect positions are mapped through them
    ULONG V_Off;
    UCHAR Contrast;             // in sixteenths
    ULONG CrossMid;             // crosshair at the picture centre
    ULONG AEing;                // automatic exposure on
    ULONG ColorAdjustType;
    ULONG Saturntion;           // 8 is neutral
    LONG DefectCapture;         // request: a defect-table capture is in progress
};

// The values a fresh device starts with (before its stored settings are read).
VOID SetImageSettingDefaults(ImageSettings* Settings);
