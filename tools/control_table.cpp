#include "tools/control_table.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "controls/camera_control_ids.h"
#include "platform/ks.h"

namespace vexacam::tools {
namespace {

using Set = ControlSet;
using Shape = ValueShape;
using Use = ControlUse;

constexpr int64_t kMaxUlong = 0xFFFFFFFFLL;
// The sensor is 2048 x 1536 and the smallest format 640 x 480: the window can move this far.
constexpr int64_t kMaxWindowX = 2048 - 640;
constexpr int64_t kMaxWindowY = 1536 - 480;

constexpr PublishedRange kNoRange = {0, 0, 0, 0};
constexpr PublishedRange Flag(int64_t byDefault) { return {0, 1, 1, byDefault}; }

Control Camera(CameraControlId id, const char* name, Use use, PublishedRange range) {
    return {name, Set::Camera, id, Shape::Ulong, use, true, range, nullptr};
}
Control CameraWithout(CameraControlId id, const char* name, Use use) {
    return {name, Set::Camera, id, Shape::Ulong, use, false, kNoRange, nullptr};
}
Control ProcAmp(ULONG id, const char* name, PublishedRange range, const char* means) {
    return {name, Set::ProcAmp, id, Shape::ProcAmp, Use::Setting, true, range, means};
}
Control Registry(const char* name, PublishedRange range) {
    return {name, Set::Registry, 0, Shape::Stored, Use::Setting, true, range, nullptr};
}
Control VideoControl(ULONG id, const char* name) {
    return {name, Set::VideoControl, id, Shape::VideoControl, Use::ReadOnly, false, kNoRange, nullptr};
}

// The amplifier's published ranges (the driver's property table); the camera controls that
// reach the same fields take the same ranges.
constexpr PublishedRange kExposure = {1, 5000, 1, 100};
constexpr PublishedRange kContrast = {1, 32, 1, 16};
constexpr PublishedRange kColourGain = {1, 6000, 1, 500};
constexpr PublishedRange kGamma = {1, 32, 1, 16};
constexpr PublishedRange kAnalogGain = {8, 63, 1, 25};

std::vector<Control> BuildTable() {
    return {
        VideoControl(KSPROPERTY_VIDEOCONTROL_CAPS, "Caps"),
        VideoControl(KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE, "ActualFrameRate"),
        VideoControl(KSPROPERTY_VIDEOCONTROL_FRAME_RATES, "FrameRates"),
        VideoControl(KSPROPERTY_VIDEOCONTROL_MODE, "Mode"),  // the driver refuses every set

        Camera(kControlOnePushExposure, "OnePushExposure", Use::Request, Flag(0)),
        Camera(kControlOnePushWhiteBalance, "OnePushWhiteBalance", Use::Request, Flag(0)),
        Camera(kControlBWPreview, "BWPreview", Use::Setting, Flag(0)),
        Camera(kControlLightAVG, "LightAVG", Use::Setting, Flag(0)),
        Camera(kControlCrossLine, "CrossLine", Use::Setting, Flag(0)),
        // Bands 1 and 2 are their own, every other value the third.
        Camera(kControlLightModel, "LightModel", Use::Setting, {1, 3, 1, 2}),
        // Upright, mirrored, flipped, rotated.
        Camera(kControlVideoModel, "VideoModel", Use::Setting, {1, 4, 1, 1}),
        Camera(kControlExposal, "Exposal", Use::Setting, kExposure),
        Camera(kControlRedGain, "R_Gain", Use::Setting, kColourGain),
        Camera(kControlBlueGain, "B_Gain", Use::Setting, kColourGain),
        Camera(kControlGreenGain, "G_Gain", Use::Setting, kColourGain),
        Camera(kControlContrast, "Contrast", Use::Setting, kContrast),
        Camera(kControlH_Off, "H_Off", Use::Setting, {0, kMaxWindowX, 1, 0}),
        Camera(kControlV_Off, "V_Off", Use::Setting, {0, kMaxWindowY, 1, 0}),
        // Rows from the top and the column of the crosshair's lines; the driver clamps them
        // to the picture.
        Camera(kControlCrossX, "CrossX", Use::Setting, {0, 1536, 1, 0}),
        Camera(kControlCrossY, "CrossY", Use::Setting, {0, 2048, 1, 0}),
        Camera(kControlCrossMid, "CrossMid", Use::Setting, Flag(1)),
        Camera(kControlOffsetMid, "OffsetMid", Use::Setting, Flag(0)),
        {"CameraWindow", Set::Camera, kControlCameraWindow, Shape::Window, Use::Value, false, kNoRange, nullptr},
        CameraWithout(kControlUnused19, "Unused19", Use::Unused),
        Camera(kControlParamA, "ParamA", Use::Value, {0, kMaxUlong, 1, 0}),
        Camera(kControlParamB, "ParamB", Use::Value, {0, kMaxUlong, 1, 0}),
        Camera(kControlReadOutMode, "ReadOutMode", Use::Value, Flag(1)),
        Camera(kControlClearView, "ClearView", Use::Setting, Flag(0)),
        CameraWithout(kControlUnused24, "Unused24", Use::Unused),
        CameraWithout(kControlUnused25, "Unused25", Use::Unused),
        Camera(kControlOptionA, "OptionA", Use::Value, {0, 255, 1, 1}),
        Camera(kControlOptionB, "OptionB", Use::Value, {0, 255, 1, 1}),
        Camera(kControlParamC, "ParamC", Use::Value, {0, kMaxUlong, 1, 0}),
        Camera(kControlGamma, "Gamma", Use::Setting, kGamma),
        Camera(kControlDefectCapture, "DefectCapture", Use::Calibration, Flag(0)),
        Camera(kControlGainMapCapture, "GainMapCapture", Use::Calibration, Flag(0)),
        CameraWithout(kControlUnused32, "Unused32", Use::Unused),
        CameraWithout(kControlUnused33, "Unused33", Use::Unused),
        Camera(kControlCameraValue, "CameraValue", Use::Value, {0, kMaxUlong, 1, 0}),
        CameraWithout(kControlPresent, "Present", Use::ReadOnly),
        Camera(kControlAllGain, "ALL_Gain", Use::Setting, kAnalogGain),
        // Contrast only, with green emphasis, colours separated first.
        Camera(kControlColorAdjustType, "ColorAdjustType", Use::Setting, {0, 2, 1, 0}),
        Camera(kControlCameraFlag, "CameraFlag", Use::Value, Flag(0)),

        {"AEing", Set::ProcAmp, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, Shape::AutoExposure,
         Use::Setting, true, Flag(0), nullptr},
        ProcAmp(KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, "Brightness", kExposure, "Exposal"),
        ProcAmp(KSPROPERTY_VIDEOPROCAMP_CONTRAST, "Contrast", kContrast, "Contrast"),
        ProcAmp(KSPROPERTY_VIDEOPROCAMP_SATURATION, "Saturation", kColourGain, "G_Gain"),
        ProcAmp(KSPROPERTY_VIDEOPROCAMP_SHARPNESS, "Sharpness", kColourGain, "B_Gain"),
        ProcAmp(KSPROPERTY_VIDEOPROCAMP_GAMMA, "Gamma", kGamma, "Gamma"),
        ProcAmp(KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, "WhiteBalance", kColourGain, "R_Gain"),
        ProcAmp(KSPROPERTY_VIDEOPROCAMP_GAIN, "Gain", kAnalogGain, "ALL_Gain"),

        // 8 is neutral, 0 grey, 16 twice the colour; far beyond that the stage's arithmetic
        // overflows.
        Registry("Saturntion", {0, 16, 1, 8}),
        Registry("Sharp", {0, 255, 1, 1}),  // no stage reads it
        Registry("ClearViewParam", {0, kMaxUlong, 1, 0}),
        Registry("Control", {0, 255, 1, 1}),  // mode bits; bit 0 is the read-out mode
    };
}

bool SameName(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

}  // namespace

const std::vector<Control>& Controls() {
    static const std::vector<Control> table = BuildTable();
    return table;
}

const char* SetName(ControlSet set) {
    switch (set) {
        case Set::VideoControl: return "videocontrol";
        case Set::Camera: return "camera";
        case Set::ProcAmp: return "procamp";
        case Set::Registry: return "registry";
    }
    return "?";
}

const Control* FindSetting(const std::string& name) {
    for (const Control& control : Controls()) {
        if (control.Set != Set::VideoControl && control.Means == nullptr && SameName(name, control.Name)) {
            return &control;
        }
    }
    for (const Control& control : Controls()) {
        if (control.Means != nullptr && SameName(name, control.Name)) return FindSetting(control.Means);
    }
    return nullptr;
}

const Control* FindInSet(ControlSet set, const std::string& name) {
    for (const Control& control : Controls()) {
        if (control.Set == set && SameName(name, control.Name)) return &control;
    }
    return nullptr;
}

const Control* FindInSet(ControlSet set, ULONG id) {
    for (const Control& control : Controls()) {
        // AEing shares the amplifier's brightness id; by id the property itself is meant.
        if (control.Set == set && control.Id == id && control.Shape != Shape::AutoExposure &&
            set != Set::Registry) {
            return &control;
        }
    }
    return nullptr;
}

bool ParseInteger(const std::string& text, long long* value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtoll(text.c_str(), &end, 0);
    return errno == 0 && *end == '\0';
}

std::string CheckRange(const Control& control, long long value) {
    const PublishedRange& range = control.Range;
    if (value >= range.Minimum && value <= range.Maximum && (value - range.Minimum) % range.Step == 0) {
        return "";
    }
    std::string reason = std::string(control.Name) + " takes " + std::to_string(range.Minimum) + ".." +
                         std::to_string(range.Maximum);
    if (range.Step != 1) reason += " in steps of " + std::to_string(range.Step);
    return reason + ", not " + std::to_string(value);
}

std::string RangeText(const Control& control) {
    if (!control.Ranged) return "";
    const PublishedRange& range = control.Range;
    return std::to_string(range.Minimum) + ".." + std::to_string(range.Maximum) + " step " +
           std::to_string(range.Step) + ", default " + std::to_string(range.Default);
}

}  // namespace vexacam::tools
