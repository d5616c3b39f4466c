#include "tools/capture_settings.h"

#include "host/framework/client.h"
#include "tools/camera_control_names.h"
#include "tools/setting_value.h"
#include "tools/status_text.h"

namespace vexacam::tools {

// Camera: a 4-byte value of CameraControlSet. AutoExposure: the procamp brightness flags.
enum class Route { Camera, AutoExposure };

struct PropertySetting {
    ValueRange Holds;  // checked before the value is sent: what the property's field holds
    Route Via;
    ULONG Id;  // a CameraControlId, or the procamp id for AutoExposure
};

namespace {

const PropertySetting kSettings[] = {
    {ValueRange::Byte, Route::Camera, kControlContrast},
    {ValueRange::Unsigned32, Route::Camera, kControlColorAdjustType},
    {ValueRange::Byte, Route::Camera, kControlGamma},
    {ValueRange::Signed32, Route::Camera, kControlRedGain},
    {ValueRange::Signed32, Route::Camera, kControlGreenGain},
    {ValueRange::Signed32, Route::Camera, kControlBlueGain},
    {ValueRange::Unsigned32, Route::Camera, kControlAllGain},
    {ValueRange::Unsigned32, Route::Camera, kControlBWPreview},
    {ValueRange::Byte, Route::Camera, kControlVideoModel},
    {ValueRange::Unsigned32, Route::Camera, kControlCrossLine},
    {ValueRange::Unsigned32, Route::Camera, kControlCrossMid},
    {ValueRange::Unsigned32, Route::Camera, kControlCrossX},
    {ValueRange::Unsigned32, Route::Camera, kControlCrossY},
    {ValueRange::Byte, Route::Camera, kControlLightAVG},
    {ValueRange::Unsigned32, Route::Camera, kControlH_Off},
    {ValueRange::Unsigned32, Route::Camera, kControlV_Off},
    {ValueRange::Unsigned32, Route::Camera, kControlOffsetMid},
    {ValueRange::Unsigned32, Route::Camera, kControlClearView},
    {ValueRange::Unsigned32, Route::Camera, kControlExposal},
    {ValueRange::Byte, Route::Camera, kControlLightModel},
    {ValueRange::Unsigned32, Route::AutoExposure, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS},
    {ValueRange::Unsigned32, Route::Camera, kControlOnePushExposure},
    {ValueRange::Unsigned32, Route::Camera, kControlOnePushWhiteBalance},
    {ValueRange::Unsigned32, Route::Camera, kControlGainMapCapture},
    {ValueRange::Unsigned32, Route::Camera, kControlDefectCapture},
};

// Automatic exposure has no camera control of its own: it is the brightness's AUTO flag, stored
// as AEing.
const char* SettingName(const PropertySetting& setting) {
    if (setting.Via == Route::AutoExposure) return "AEing";
    return CameraControlName(static_cast<CameraControlId>(setting.Id));
}

// Stored settings that no property reaches: they can only be changed in the registry.
const char* const kRegistryOnly[] = {"Saturntion", "Sharp", "ClearViewParam", "Control"};

NTSTATUS GetBrightness(host::AdapterClient& adapter, KSPROPERTY_VIDEOPROCAMP_S* data) {
    *data = {};
    return adapter.GetProperty({PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS,
                                data, sizeof(*data), sizeof(*data)});
}

// A manual brightness set while automatic exposure is off stores its Value as the exposure,
// so switching off is only sent when it is on, and then carries the exposure in force.
NTSTATUS SetAutoExposure(host::AdapterClient& adapter, bool on) {
    KSPROPERTY_VIDEOPROCAMP_S data;
    NTSTATUS status = GetBrightness(adapter, &data);
    if (!NT_SUCCESS(status)) return status;
    const bool isOn = data.Flags == KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO;
    if (isOn == on) return STATUS_SUCCESS;
    data.Flags = on ? KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO : KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;
    return adapter.SetProperty({PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS,
                                &data, sizeof(data), sizeof(data)});
}

NTSTATUS Send(host::AdapterClient& adapter, const SettingAssignment& assignment) {
    const PropertySetting& setting = *assignment.Setting;
    if (setting.Via == Route::AutoExposure) return SetAutoExposure(adapter, assignment.Value != 0);
    ULONG value = static_cast<ULONG>(assignment.Value);
    return adapter.SetProperty({CameraControlSet, setting.Id, &value, sizeof(value)});
}

bool Mentions(const std::vector<SettingAssignment>& assignments, const char* name) {
    for (const SettingAssignment& assignment : assignments) {
        if (assignment.Name == name) return true;
    }
    return false;
}

}  // namespace

std::string ParseSettingAssignment(const std::string& text, SettingAssignment* assignment) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) return "--set must be NAME=VALUE, got '" + text + "'";
    const std::string name = text.substr(0, equals);
    const std::string valueText = text.substr(equals + 1);
    for (const char* kept : kRegistryOnly) {
        if (name == kept) return "setting " + name + " has no property; it is only read from the registry";
    }
    const PropertySetting* found = nullptr;
    for (const PropertySetting& setting : kSettings) {
        if (name == SettingName(setting)) found = &setting;
    }
    if (found == nullptr) return "unknown setting '" + name + "' (known: " + SettingNames() + ")";
    long long value = 0;
    if (!ParseDecimal(valueText, &value) || !RangeHolds(found->Holds, value)) {
        return "setting " + name + " cannot hold the value '" + valueText + "'";
    }
    *assignment = {found, name, value};
    return "";
}

std::string ApplySettings(host::AdapterClient& adapter,
                          const std::vector<SettingAssignment>& assignments) {
    if (!Mentions(assignments, "AEing")) {
        const NTSTATUS status = SetAutoExposure(adapter, !Mentions(assignments, "Exposal"));
        if (!NT_SUCCESS(status)) return "automatic exposure could not be set (status " + StatusText(status) + ")";
    }
    for (const SettingAssignment& assignment : assignments) {
        const NTSTATUS status = Send(adapter, assignment);
        if (!NT_SUCCESS(status)) {
            return "setting " + assignment.Name + " failed with status " + StatusText(status);
        }
    }
    return "";
}

NTSTATUS ReadSetting(host::AdapterClient& adapter, const SettingAssignment& assignment,
                     int64_t* value) {
    const PropertySetting& setting = *assignment.Setting;
    if (setting.Via == Route::AutoExposure) {
        KSPROPERTY_VIDEOPROCAMP_S data;
        const NTSTATUS status = GetBrightness(adapter, &data);
        *value = data.Flags == KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO ? 1 : 0;
        return status;
    }
    ULONG read = 0;
    const NTSTATUS status = adapter.GetProperty({CameraControlSet, setting.Id, &read, sizeof(read)});
    *value = setting.Holds == ValueRange::Signed32 ? static_cast<int64_t>(static_cast<LONG>(read)) : read;
    return status;
}

std::string SettingNames() {
    std::string names;
    for (const PropertySetting& setting : kSettings) {
        if (!names.empty()) names += ", ";
        names += SettingName(setting);
    }
    return names;
}

}  // namespace vexacam::tools
