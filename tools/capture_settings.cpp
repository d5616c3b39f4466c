#include "tools/capture_settings.h"

#include "driver/property_sets.h"
#include "host/framework/client.h"
#include "tools/setting_value.h"
#include "tools/status_text.h"

namespace vexacam::tools {

// Camera: a 4-byte value of CameraControlSet. AutoExposure: the procamp brightness flags.
enum class Route { Camera, AutoExposure };

struct PropertySetting {
    const char* Name;
    ValueRange Holds;  // checked before the value is sent: what the property's field holds
    Route Via;
    ULONG Id;
};

namespace {

const PropertySetting kSettings[] = {
    {"Contrast", ValueRange::Byte, Route::Camera, 11},
    {"ColorAdjustType", ValueRange::Unsigned32, Route::Camera, 37},
    {"Gamma", ValueRange::Byte, Route::Camera, 29},
    {"R_Gain", ValueRange::Signed32, Route::Camera, 8},
    {"G_Gain", ValueRange::Signed32, Route::Camera, 10},
    {"B_Gain", ValueRange::Signed32, Route::Camera, 9},
    {"ALL_Gain", ValueRange::Unsigned32, Route::Camera, 36},
    {"BWPreview", ValueRange::Unsigned32, Route::Camera, 2},
    {"VideoModel", ValueRange::Byte, Route::Camera, 6},
    {"CrossLine", ValueRange::Unsigned32, Route::Camera, 4},
    {"CrossMid", ValueRange::Unsigned32, Route::Camera, 16},
    {"CrossX", ValueRange::Unsigned32, Route::Camera, 14},
    {"CrossY", ValueRange::Unsigned32, Route::Camera, 15},
    {"LightAVG", ValueRange::Byte, Route::Camera, 3},
    {"H_Off", ValueRange::Unsigned32, Route::Camera, 12},
    {"V_Off", ValueRange::Unsigned32, Route::Camera, 13},
    {"OffsetMid", ValueRange::Unsigned32, Route::Camera, 17},
    {"ClearView", ValueRange::Unsigned32, Route::Camera, 23},
    {"Exposal", ValueRange::Unsigned32, Route::Camera, 7},
    {"LightModel", ValueRange::Byte, Route::Camera, 5},
    {"AEing", ValueRange::Unsigned32, Route::AutoExposure, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS},
    {"OnePushExposure", ValueRange::Unsigned32, Route::Camera, 0},
    {"OnePushWhiteBalance", ValueRange::Unsigned32, Route::Camera, 1},
    {"GainMapCapture", ValueRange::Unsigned32, Route::Camera, 31},
    {"DefectCapture", ValueRange::Unsigned32, Route::Camera, 30},
};

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
        if (name == setting.Name) found = &setting;
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
        names += setting.Name;
    }
    return names;
}

}  // namespace vexacam::tools
