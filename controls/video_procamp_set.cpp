// Video processing amplifier: the standard ids carry this camera's own meanings (exposure,
// contrast, the three colour gains, gamma, analog gain). Value is the property's value; the
// Flags of BRIGHTNESS and WHITEBALANCE switch automatic exposure and one-push white balance.
#include "controls/control_actions.h"
#include "controls/property_handlers.h"
#include "imaging/gain_table.h"
#include "usb/command_fields.h"

namespace {

constexpr ULONG kAutoAndManual = KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO | KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;

// BRIGHTNESS set: AUTO turns automatic exposure on; a manual set while it is on only turns it
// off (the value it carries was the automatic loop's); only the next one stores the value.
VOID SetBrightness(DeviceContext* Device, const KSPROPERTY_VIDEOPROCAMP_S* Data) {
    if (Data->Flags == KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO) {
        WriteOnce(Device->Image.AEing, 1u);
    } else if (ReadOnce(Device->Image.AEing) != 0) {
        WriteOnce(Device->Image.AEing, 0u);
    } else {
        SetManualExposure(Device, static_cast<ULONG>(Data->Value));
    }
}

// WHITEBALANCE set: the red gain, and AUTO asks for one white balance on the next frame, after
// which the control is manual again, as the returned Flags say.
VOID SetWhiteBalance(DeviceContext* Device, PKSPROPERTY_VIDEOPROCAMP_S Data) {
    SetColourGain(Device, Device->Pipeline.RedGain, static_cast<ULONG>(Data->Value));
    if (Data->Flags == KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO) WriteOnce(Device->Image.OnePushWhiteBalance, 1u);
    Data->Flags = KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;
}

// A gain the table can't give back leaves the caller's Value as it was.
VOID GetGainInto(const UCHAR* Table, PKSPROPERTY_VIDEOPROCAMP_S Data) {
    ULONG Value = static_cast<ULONG>(Data->Value);
    if (GetGain(Table, &Value)) Data->Value = static_cast<LONG>(Value);
}

}  // namespace

NTSTATUS GetVideoProcAmp(DeviceContext* Device, ULONG Id, PKSPROPERTY_VIDEOPROCAMP_S Data) {
    switch (Id) {
    case KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS:
        Data->Value = static_cast<LONG>(LoadCommandUlong(Device, COMMAND_FIELD(Exposal)));
        Data->Flags = ReadOnce(Device->Image.AEing) != 0 ? KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO
                                                   : KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;
        Data->Capabilities = kAutoAndManual;
        return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOPROCAMP_CONTRAST:
        Data->Value = ReadOnce(Device->Image.Contrast);
        return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOPROCAMP_SATURATION:
        GetGainInto(Device->Pipeline.GreenGain, Data);
        return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOPROCAMP_SHARPNESS:
        GetGainInto(Device->Pipeline.BlueGain, Data);
        return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOPROCAMP_GAMMA:
        Data->Value = ReadOnce(Device->Pipeline.Gamma);
        return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE:
        GetGainInto(Device->Pipeline.RedGain, Data);
        Data->Flags = KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;
        Data->Capabilities = kAutoAndManual;
        return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOPROCAMP_GAIN:
        Data->Value = GetAnalogGain(Device);
        return STATUS_SUCCESS;
    default:
        return STATUS_NOT_IMPLEMENTED;
    }
}

NTSTATUS SetVideoProcAmp(DeviceContext* Device, ULONG Id, PKSPROPERTY_VIDEOPROCAMP_S Data) {
    const ULONG Value = static_cast<ULONG>(Data->Value);
    switch (Id) {
    case KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS:
        SetBrightness(Device, Data);
        return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOPROCAMP_CONTRAST:
        WriteOnce(Device->Image.Contrast, static_cast<UCHAR>(Value));
        return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOPROCAMP_SATURATION:
        SetColourGain(Device, Device->Pipeline.GreenGain, Value);
        return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOPROCAMP_SHARPNESS:
        SetColourGain(Device, Device->Pipeline.BlueGain, Value);
        return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOPROCAMP_GAMMA:
        SetGammaIndex(Device, Data->Value);
        return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE:
        SetWhiteBalance(Device, Data);
        return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOPROCAMP_GAIN:
        SetAnalogGain(Device, Value);
        return STATUS_SUCCESS;
    default:
        return STATUS_NOT_IMPLEMENTED;
    }
}
