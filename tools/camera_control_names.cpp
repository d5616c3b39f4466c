#include "tools/camera_control_names.h"

namespace vexacam::tools {
namespace {

struct NamedControl {
    CameraControlId Id;
    const char* Name;
};

constexpr NamedControl kNames[] = {
    {kControlOnePushExposure, "OnePushExposure"},
    {kControlOnePushWhiteBalance, "OnePushWhiteBalance"},
    {kControlBWPreview, "BWPreview"},
    {kControlLightAVG, "LightAVG"},
    {kControlCrossLine, "CrossLine"},
    {kControlLightModel, "LightModel"},
    {kControlVideoModel, "VideoModel"},
    {kControlExposal, "Exposal"},
    {kControlRedGain, "R_Gain"},
    {kControlBlueGain, "B_Gain"},
    {kControlGreenGain, "G_Gain"},
    {kControlContrast, "Contrast"},
    {kControlH_Off, "H_Off"},
    {kControlV_Off, "V_Off"},
    {kControlCrossX, "CrossX"},
    {kControlCrossY, "CrossY"},
    {kControlCrossMid, "CrossMid"},
    {kControlOffsetMid, "OffsetMid"},
    {kControlCameraWindow, "CameraWindow"},
    {kControlUnused19, "Unused19"},
    {kControlParamA, "ParamA"},
    {kControlParamB, "ParamB"},
    {kControlReadOutMode, "ReadOutMode"},
    {kControlClearView, "ClearView"},
    {kControlUnused24, "Unused24"},
    {kControlUnused25, "Unused25"},
    {kControlOptionA, "OptionA"},
    {kControlOptionB, "OptionB"},
    {kControlParamC, "ParamC"},
    {kControlGamma, "Gamma"},
    {kControlDefectCapture, "DefectCapture"},
    {kControlGainMapCapture, "GainMapCapture"},
    {kControlUnused32, "Unused32"},
    {kControlUnused33, "Unused33"},
    {kControlCameraValue, "CameraValue"},
    {kControlPresent, "Present"},
    {kControlAllGain, "ALL_Gain"},
    {kControlColorAdjustType, "ColorAdjustType"},
    {kControlCameraFlag, "CameraFlag"},
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == kCameraControlCount);

constexpr bool InIdOrder() {
    for (ULONG index = 0; index < kCameraControlCount; ++index) {
        if (kNames[index].Id != index) return false;
    }
    return true;
}
static_assert(InIdOrder(), "row n names id n");

}  // namespace

const char* CameraControlName(CameraControlId id) {
    return id < kCameraControlCount ? kNames[id].Name : "";
}

bool FindCameraControl(const std::string& name, CameraControlId* id) {
    for (const NamedControl& control : kNames) {
        if (name == control.Name) {
            *id = control.Id;
            return true;
        }
    }
    return false;
}

}  // namespace vexacam::tools
