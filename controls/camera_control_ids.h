// The private camera control set as applications address it: its GUID and the 39 property ids.
// Only constants: the driver's property table, the programs that talk to the driver and the
// tests all name the ids from here, so an id can never mean two things.
#pragma once

#include "platform/types.h"

// {1F8D9300-AB21-48FE-0100-519EBAED4B67}
inline constexpr GUID CameraControlSet = {
    0x1F8D9300, 0xAB21, 0x48FE, {0x01, 0x00, 0x51, 0x9E, 0xBA, 0xED, 0x4B, 0x67}};

// Each id carries a 4-byte value, except kControlCameraWindow (16 bytes both ways).
enum CameraControlId : ULONG {
    kControlOnePushExposure = 0,
    kControlOnePushWhiteBalance = 1,
    kControlBWPreview = 2,
    kControlLightAVG = 3,
    kControlCrossLine = 4,
    kControlLightModel = 5,
    kControlVideoModel = 6,
    kControlExposal = 7,
    kControlRedGain = 8,
    kControlBlueGain = 9,
    kControlGreenGain = 10,
    kControlContrast = 11,
    kControlH_Off = 12,
    kControlV_Off = 13,
    kControlCrossX = 14,
    kControlCrossY = 15,
    kControlCrossMid = 16,
    kControlOffsetMid = 17,
    kControlCameraWindow = 18,  // the camera's FrameHeight, FrameWidth, WindowX, WindowY
    kControlUnused19 = 19,
    kControlParamA = 20,
    kControlParamB = 21,
    kControlReadOutMode = 22,
    kControlClearView = 23,
    kControlUnused24 = 24,
    kControlUnused25 = 25,
    kControlOptionA = 26,
    kControlOptionB = 27,
    kControlParamC = 28,
    kControlGamma = 29,
    kControlDefectCapture = 30,
    kControlGainMapCapture = 31,
    kControlUnused32 = 32,
    kControlUnused33 = 33,
    kControlCameraValue = 34,  // get: the camera's value; set: OptionValue, sent later
    kControlPresent = 35,      // always reads 1
    kControlAllGain = 36,
    kControlColorAdjustType = 37,
    kControlCameraFlag = 38,  // bit 2 of Control
};

constexpr ULONG kCameraControlCount = 39;

// Bytes of the kControlCameraWindow value: four 32-bit values.
constexpr ULONG kCameraWindowBytes = 16;
