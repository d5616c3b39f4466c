#include "tools/control_access.h"

#include "controls/camera_control_ids.h"
#include "platform/ks.h"
#include "tools/machine_registry.h"

namespace vexacam::tools {
namespace {

constexpr ULONG kNoValue = 0xA5A5A5A5;  // left in the buffer when a get writes nothing

const GUID& SetGuid(ControlSet set) {
    switch (set) {
        case ControlSet::VideoControl: return PROPSETID_VIDCAP_VIDEOCONTROL;
        case ControlSet::ProcAmp: return PROPSETID_VIDCAP_VIDEOPROCAMP;
        default: return CameraControlSet;
    }
}

std::string FlagsText(ULONG flags) {
    if (flags == KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO) return "auto";
    if (flags == KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL) return "manual";
    return std::to_string(flags);
}

void SetNumber(ControlReading* reading, int64_t number) {
    reading->HasNumber = true;
    reading->Number = number;
    reading->Text = std::to_string(number);
}

NTSTATUS GetProcAmp(host::AdapterClient& adapter, ULONG id, KSPROPERTY_VIDEOPROCAMP_S* data) {
    *data = {};
    return adapter.GetProperty({PROPSETID_VIDCAP_VIDEOPROCAMP, id, data, sizeof(*data), sizeof(*data)});
}

NTSTATUS ReadVideoControl(host::AdapterClient& adapter, const Control& control, ControlReading* reading) {
    KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S data{};  // the largest of the four records
    ULONG size = sizeof(KSPROPERTY_VIDEOCONTROL_CAPS_S);
    ULONG input = size;
    if (control.Id == KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE) {
        size = input = sizeof(KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S);
    } else if (control.Id == KSPROPERTY_VIDEOCONTROL_FRAME_RATES) {
        size = sizeof(KSMULTIPLE_ITEM);  // the list alone, after a bare property
        input = sizeof(KSPROPERTY);
    } else if (control.Id == KSPROPERTY_VIDEOCONTROL_MODE) {
        size = input = sizeof(KSPROPERTY_VIDEOCONTROL_MODE_S);
    }
    ULONG returned = 0;
    const NTSTATUS status = adapter.GetProperty({PROPSETID_VIDCAP_VIDEOCONTROL, control.Id, &data, size, input}, &returned);
    if (returned == 0) {
        reading->Text = "(none)";
    } else if (control.Id == KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE) {
        SetNumber(reading, data.CurrentActualFrameRate);
        reading->Text += " fps (max " + std::to_string(data.CurrentMaxAvailableFrameRate) + ")";
    } else {
        // Caps and Mode follow the property and the stream index.
        SetNumber(reading, reinterpret_cast<const ULONG*>(&data)[7]);
    }
    return status;
}

}  // namespace

NTSTATUS GetAutoExposure(host::AdapterClient& adapter, bool* on) {
    KSPROPERTY_VIDEOPROCAMP_S data;
    const NTSTATUS status = GetProcAmp(adapter, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, &data);
    *on = data.Flags == KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO;
    return status;
}

NTSTATUS SetAutoExposure(host::AdapterClient& adapter, bool on) {
    KSPROPERTY_VIDEOPROCAMP_S data;
    NTSTATUS status = GetProcAmp(adapter, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, &data);
    if (!NT_SUCCESS(status)) return status;
    const bool isOn = data.Flags == KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO;
    if (isOn == on) return STATUS_SUCCESS;
    data.Flags = on ? KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO : KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;
    return adapter.SetProperty({PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS,
                                &data, sizeof(data), sizeof(data)});
}

NTSTATUS SwitchOffAutoExposureFor(host::AdapterClient& adapter, const Control& control, ULONG flags,
                                  bool* switchedOff) {
    *switchedOff = false;
    const bool manualExposure = (control.Set == ControlSet::Camera && control.Id == kControlExposal) ||
                                (control.Shape == ValueShape::ProcAmp && control.Id == KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS &&
                                 flags != KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO);
    bool on = false;
    if (!manualExposure || !NT_SUCCESS(GetAutoExposure(adapter, &on)) || !on) return STATUS_SUCCESS;
    const NTSTATUS status = SetAutoExposure(adapter, false);
    *switchedOff = NT_SUCCESS(status);
    return status;
}

NTSTATUS ReadControl(host::AdapterClient& adapter, const Control& control, ControlReading* reading) {
    *reading = {};
    switch (control.Shape) {
        case ValueShape::Ulong: {
            ULONG value = kNoValue;
            const NTSTATUS status = adapter.GetProperty({CameraControlSet, control.Id, &value, sizeof(value)});
            if (value == kNoValue) {
                reading->Text = "(none)";
            } else {
                SetNumber(reading, value);
            }
            return status;
        }
        case ValueShape::Window: {
            ULONG window[4] = {};
            const NTSTATUS status = adapter.GetProperty({CameraControlSet, control.Id, window, sizeof(window)});
            reading->Parts = {window[0], window[1], window[2], window[3]};
            reading->Text = "height " + std::to_string(window[0]) + " width " + std::to_string(window[1]) +
                            " x " + std::to_string(window[2]) + " y " + std::to_string(window[3]);
            return status;
        }
        case ValueShape::ProcAmp: {
            KSPROPERTY_VIDEOPROCAMP_S data;
            const NTSTATUS status = GetProcAmp(adapter, control.Id, &data);
            SetNumber(reading, data.Value);
            if (data.Capabilities != 0) {
                reading->Flags = FlagsText(data.Flags);
                reading->Text += " (" + reading->Flags + ")";
            }
            return status;
        }
        case ValueShape::AutoExposure: {
            bool on = false;
            const NTSTATUS status = GetAutoExposure(adapter, &on);
            SetNumber(reading, on ? 1 : 0);
            return status;
        }
        case ValueShape::VideoControl:
            return ReadVideoControl(adapter, control, reading);
        case ValueShape::Stored: {
            uint32_t value = 0;
            SetNumber(reading, ReadStoredValue(control.Name, &value) ? value : control.Range.Default);
            return STATUS_SUCCESS;
        }
    }
    return STATUS_NOT_IMPLEMENTED;
}

NTSTATUS WriteControl(host::AdapterClient& adapter, const Control& control,
                      const std::vector<int64_t>& values, ULONG flags) {
    switch (control.Shape) {
        case ValueShape::Ulong: {
            ULONG value = static_cast<ULONG>(values.at(0));
            return adapter.SetProperty({CameraControlSet, control.Id, &value, sizeof(value)});
        }
        case ValueShape::Window: {
            ULONG window[4];
            for (size_t i = 0; i < 4; ++i) window[i] = static_cast<ULONG>(values.at(i));
            return adapter.SetProperty({CameraControlSet, control.Id, window, sizeof(window)});
        }
        case ValueShape::ProcAmp: {
            KSPROPERTY_VIDEOPROCAMP_S data{};
            data.Value = static_cast<LONG>(values.at(0));
            data.Flags = flags != 0 ? flags : KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;
            return adapter.SetProperty({PROPSETID_VIDCAP_VIDEOPROCAMP, control.Id, &data, sizeof(data), sizeof(data)});
        }
        case ValueShape::AutoExposure:
            return SetAutoExposure(adapter, values.at(0) != 0);
        case ValueShape::VideoControl: {
            KSPROPERTY_VIDEOCONTROL_MODE_S data{};
            data.Mode = static_cast<LONG>(values.at(0));
            return adapter.SetProperty({SetGuid(control.Set), control.Id, &data, sizeof(data), sizeof(data)});
        }
        case ValueShape::Stored:
            WriteStoredValue(control.Name, static_cast<uint32_t>(values.at(0)));
            return STATUS_SUCCESS;
    }
    return STATUS_NOT_IMPLEMENTED;
}

}  // namespace vexacam::tools
