#include "tools/capture_settings.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "driver/property_sets.h"
#include "host/framework/client.h"
#include "tools/status_text.h"

namespace vexacam::tools {

// How a value is checked before it is sent: the range the property's field can hold.
enum class Range { Byte, Unsigned32, Signed32 };

// Camera: a 4-byte value of CameraControlSet. AutoExposure: the procamp brightness flags.
enum class Route { Camera, AutoExposure };

struct PropertySetting {
    const char* Name;
    Range Holds;
    Route Via;
    ULONG Id;
};

namespace {

const PropertySetting kSettings[] = {
    {"Contrast", Range::Byte, Route::Camera, 11},
    {"ColorAdjustType", Range::Unsigned32, Route::Camera, 37},
    {"Gamma", Range::Byte, Route::Camera, 29},
    {"R_Gain", Range::Signed32, Route::Camera, 8},
    {"G_Gain", Range::Signed32, Route::Camera, 10},
    {"B_Gain", Range::Signed32, Route::Camera, 9},
    {"ALL_Gain", Range::Unsigned32, Route::Camera, 36},
    {"BWPreview", Range::Unsigned32, Route::Camera, 2},
    {"VideoModel", Range::Byte, Route::Camera, 6},
    {"CrossLine", Range::Unsigned32, Route::Camera, 4},
    {"CrossMid", Range::Unsigned32, Route::Camera, 16},
    {"CrossX", Range::Unsigned32, Route::Camera, 14},
    {"CrossY", Range::Unsigned32, Route::Camera, 15},
    {"LightAVG", Range::Byte, Route::Camera, 3},
    {"H_Off", Range::Unsigned32, Route::Camera, 12},
    {"V_Off", Range::Unsigned32, Route::Camera, 13},
    {"OffsetMid", Range::Unsigned32, Route::Camera, 17},
    {"ClearView", Range::Unsigned32, Route::Camera, 23},
    {"Exposal", Range::Unsigned32, Route::Camera, 7},
    {"LightModel", Range::Byte, Route::Camera, 5},
    {"AEing", Range::Unsigned32, Route::AutoExposure, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS},
    {"OnePushExposure", Range::Unsigned32, Route::Camera, 0},
    {"OnePushWhiteBalance", Range::Unsigned32, Route::Camera, 1},
    {"GainMapCapture", Range::Unsigned32, Route::Camera, 31},
    {"DefectCapture", Range::Unsigned32, Route::Camera, 30},
};

// Stored settings that no property reaches: they can only be changed in the registry.
const char* const kRegistryOnly[] = {"Saturntion", "Sharp", "ClearViewParam", "Control"};

bool Holds(Range range, long long value) {
    switch (range) {
        case Range::Byte: return value >= 0 && value <= 255;
        case Range::Unsigned32: return value >= 0 && value <= std::numeric_limits<uint32_t>::max();
        case Range::Signed32:
            return value >= std::numeric_limits<int32_t>::min() &&
                   value <= std::numeric_limits<int32_t>::max();
    }
    return false;
}

bool ParseInteger(const std::string& text, long long* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

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
    if (!ParseInteger(valueText, &value) || !Holds(found->Holds, value)) {
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
    *value = setting.Holds == Range::Signed32 ? static_cast<int64_t>(static_cast<LONG>(read)) : read;
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
