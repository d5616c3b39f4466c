// CameraControlSet: one row per id. Plain settings are a field and a storing rule; the rest
// name a handler. The handlers take no lock: the frame work item reads the same fields.
#include "controls/command_fields.h"
#include "controls/control_actions.h"
#include "controls/property_handlers.h"
#include "controls/window_placement.h"
#include "imaging/gain_table.h"
#include "usb/command_sequences.h"

namespace {

// How a set stores v into a plain field.
enum class Rule : UCHAR {
    Flag,      // (v != 0)
    IsOne,     // (v == 1)
    LowByte,   // v & 0xFF
    Whole,     // v
};

typedef BOOLEAN (*GetHandler)(DeviceContext* Device, PULONG Value);  // FALSE: nothing written
typedef VOID (*SetHandler)(DeviceContext* Device, ULONG Value);

struct CameraControl {
    ULONG DeviceContext::*Wide;   // a 32-bit field, or
    UCHAR DeviceContext::*Narrow; // a byte field, or neither (handlers below)
    Rule Store;
    BOOLEAN SetOnly;  // the field is stored but a get writes nothing
    GetHandler Get;   // with no field and no handler the get writes nothing
    SetHandler Set;   // with no field and no handler the set does nothing
};

ULONG StoredValue(Rule Store, ULONG Value) {
    switch (Store) {
    case Rule::Flag: return Value != 0;
    case Rule::IsOne: return Value == 1;
    case Rule::LowByte: return Value & 0xFF;
    case Rule::Whole: break;
    }
    return Value;
}

BOOLEAN GetRedGain(DeviceContext* Device, PULONG Value) { return GetGain(Device->RedGain, Value); }
BOOLEAN GetBlueGain(DeviceContext* Device, PULONG Value) { return GetGain(Device->BlueGain, Value); }
BOOLEAN GetGreenGain(DeviceContext* Device, PULONG Value) { return GetGain(Device->GreenGain, Value); }
VOID SetRedGain(DeviceContext* Device, ULONG Value) { SetColourGain(Device, Device->RedGain, Value); }
VOID SetBlueGain(DeviceContext* Device, ULONG Value) { SetColourGain(Device, Device->BlueGain, Value); }
VOID SetGreenGain(DeviceContext* Device, ULONG Value) { SetColourGain(Device, Device->GreenGain, Value); }

BOOLEAN GetExposal(DeviceContext* Device, PULONG Value) {
    *Value = LoadCommandUlong(Device, COMMAND_FIELD(Exposal));
    return TRUE;
}

// A one-push exposure would fight the automatic loop, so it is only taken while that is off.
VOID SetOnePushExposure(DeviceContext* Device, ULONG Value) {
    if (ReadOnce(Device->AEing) == 0) WriteOnce(Device->OnePushExposure, Value != 0 ? 1u : 0u);
}

BOOLEAN GetReadOutMode(DeviceContext* Device, PULONG Value) {
    *Value = (LoadCommandByte(Device, COMMAND_FIELD(Control)) & 3) != 0;
    return TRUE;
}

BOOLEAN GetOptionA(DeviceContext* Device, PULONG Value) {
    *Value = LoadCommandByte(Device, COMMAND_FIELD(OptionA));
    return TRUE;
}
BOOLEAN GetOptionB(DeviceContext* Device, PULONG Value) {
    *Value = LoadCommandByte(Device, COMMAND_FIELD(OptionB));
    return TRUE;
}
// The option bytes and value reach the camera with whatever send comes next; no mark.
VOID SetOptionA(DeviceContext* Device, ULONG Value) {
    StoreCommandByte(Device, COMMAND_FIELD(OptionA), static_cast<UCHAR>(Value));
}
VOID SetOptionB(DeviceContext* Device, ULONG Value) {
    StoreCommandByte(Device, COMMAND_FIELD(OptionB), static_cast<UCHAR>(Value));
}
VOID SetOptionValue(DeviceContext* Device, ULONG Value) {
    StoreCommandUlong(Device, COMMAND_FIELD(OptionValue), Value);
}

BOOLEAN GetGamma(DeviceContext* Device, PULONG Value) {
    *Value = static_cast<ULONG>(ReadOnce(Device->Gamma));
    return TRUE;
}
VOID SetGamma(DeviceContext* Device, ULONG Value) { SetGammaIndex(Device, static_cast<LONG>(Value)); }

BOOLEAN GetDefectCapture(DeviceContext* Device, PULONG Value) {
    *Value = static_cast<ULONG>(ReadOnce(Device->DefectCapture));
    return TRUE;
}
VOID SetDefectCapture(DeviceContext* Device, ULONG Value) {
    WriteOnce(Device->DefectCapture, static_cast<LONG>(Value));
}

VOID RequestGainMapCapture(DeviceContext* Device, ULONG) { WriteOnce(Device->GainMapCapture, 1u); }

BOOLEAN GetCameraValue(DeviceContext* Device, PULONG Value) {
    QueryCameraValue(Device, Value);
    return TRUE;
}

BOOLEAN GetAlwaysOne(DeviceContext*, PULONG Value) {
    *Value = 1;
    return TRUE;
}

BOOLEAN GetAllGain(DeviceContext* Device, PULONG Value) {
    *Value = GetAnalogGain(Device);
    return TRUE;
}

BOOLEAN GetCameraFlag(DeviceContext* Device, PULONG Value) {
    *Value = (LoadCommandByte(Device, COMMAND_FIELD(Control)) >> 2) & 1;
    return TRUE;
}
VOID SetCameraFlag(DeviceContext* Device, ULONG Value) {
    const UCHAR Control = LoadCommandByte(Device, COMMAND_FIELD(Control));
    StoreCommandByte(Device, COMMAND_FIELD(Control),
                     static_cast<UCHAR>((Control & ~4u) | (Value != 0 ? 4u : 0u)));
    MarkSettingsChanged(Device);
}

#define FIELD(f, rule) {&DeviceContext::f, nullptr, Rule::rule, FALSE, nullptr, nullptr}
#define BYTE_FIELD(f) {nullptr, &DeviceContext::f, Rule::LowByte, FALSE, nullptr, nullptr}
#define SET_ONLY_FIELD(f) {&DeviceContext::f, nullptr, Rule::Whole, TRUE, nullptr, nullptr}
#define HANDLERS(get, set) {nullptr, nullptr, Rule::Whole, FALSE, get, set}
#define GET_FIELD_SET(f, set) {&DeviceContext::f, nullptr, Rule::Whole, FALSE, nullptr, set}

constinit const CameraControl CameraControls[] = {
    /* 0 */ GET_FIELD_SET(OnePushExposure, SetOnePushExposure),
    /* 1 */ FIELD(OnePushWhiteBalance, Flag),
    /* 2 */ FIELD(BWPreview, Flag),
    /* 3 */ FIELD(LightAVG, LowByte),
    /* 4 */ FIELD(CrossLine, Flag),
    /* 5 */ BYTE_FIELD(LightModel),
    /* 6 */ BYTE_FIELD(VideoModel),
    /* 7 */ HANDLERS(GetExposal, SetManualExposure),
    /* 8 */ HANDLERS(GetRedGain, SetRedGain),
    /* 9 */ HANDLERS(GetBlueGain, SetBlueGain),
    /* 10 */ HANDLERS(GetGreenGain, SetGreenGain),
    /* 11 */ BYTE_FIELD(Contrast),
    /* 12 */ GET_FIELD_SET(H_Off, SetHorizontalOffset),
    /* 13 */ GET_FIELD_SET(V_Off, SetVerticalOffset),
    /* 14 */ FIELD(CrossX, Whole),
    /* 15 */ FIELD(CrossY, Whole),
    /* 16 */ FIELD(CrossMid, IsOne),
    /* 17 */ GET_FIELD_SET(OffsetMid, SetWindowCentring),
    /* 18 */ HANDLERS(nullptr, nullptr),  // the camera's window: 16 bytes, served apart
    /* 19 */ HANDLERS(nullptr, nullptr),
    /* 20 */ SET_ONLY_FIELD(ParamA),
    /* 21 */ SET_ONLY_FIELD(ParamB),
    /* 22 */ HANDLERS(GetReadOutMode, SetReadOutMode),
    /* 23 */ FIELD(ClearView, Flag),
    /* 24 */ HANDLERS(nullptr, nullptr),
    /* 25 */ HANDLERS(nullptr, nullptr),
    /* 26 */ HANDLERS(GetOptionA, SetOptionA),
    /* 27 */ HANDLERS(GetOptionB, SetOptionB),
    /* 28 */ FIELD(ParamC, Whole),
    /* 29 */ HANDLERS(GetGamma, SetGamma),
    /* 30 */ HANDLERS(GetDefectCapture, SetDefectCapture),
    /* 31 */ GET_FIELD_SET(GainMapCapture, RequestGainMapCapture),
    /* 32 */ HANDLERS(nullptr, nullptr),
    /* 33 */ HANDLERS(nullptr, nullptr),
    /* 34 */ HANDLERS(GetCameraValue, SetOptionValue),
    /* 35 */ HANDLERS(GetAlwaysOne, nullptr),
    /* 36 */ HANDLERS(GetAllGain, SetAnalogGain),
    /* 37 */ FIELD(ColorAdjustType, Whole),
    /* 38 */ HANDLERS(GetCameraFlag, SetCameraFlag),
};
static_assert(sizeof(CameraControls) / sizeof(CameraControls[0]) == 39, "ids 0..38");

constexpr ULONG kCameraWindowId = 18;
constexpr ULONG kValueBytes = sizeof(ULONG);

}  // namespace

NTSTATUS GetCameraControl(DeviceContext* Device, ULONG Id, PVOID Data, ULONG DataSize,
                          PULONG BytesReturned) {
    if (Id == kCameraWindowId) {
        // The item table promises only 4 bytes; the window is 16.
        if (DataSize < kCameraWindowBytes) return STATUS_BUFFER_TOO_SMALL;
        QueryCameraWindow(Device, Data);
        *BytesReturned = kCameraWindowBytes;
        return STATUS_SUCCESS;
    }
    if (Id >= sizeof(CameraControls) / sizeof(CameraControls[0])) return STATUS_NOT_IMPLEMENTED;
    const CameraControl& Row = CameraControls[Id];
    ULONG Value = 0;
    BOOLEAN Written = TRUE;
    if (Row.Get != nullptr) {
        Written = Row.Get(Device, &Value);
    } else if (Row.SetOnly) {
        Written = FALSE;
    } else if (Row.Wide != nullptr) {
        Value = ReadOnce(Device->*Row.Wide);
    } else if (Row.Narrow != nullptr) {
        Value = ReadOnce(Device->*Row.Narrow);
    } else {
        Written = FALSE;
    }
    if (Written) *static_cast<PULONG>(Data) = Value;
    *BytesReturned = kValueBytes;
    return STATUS_SUCCESS;
}

NTSTATUS SetCameraControl(DeviceContext* Device, ULONG Id, PVOID Data, ULONG DataSize) {
    if (Id == kCameraWindowId) {
        if (DataSize < kCameraWindowBytes) return STATUS_BUFFER_TOO_SMALL;
        return WriteCameraWindow(Device, Data);
    }
    if (Id >= sizeof(CameraControls) / sizeof(CameraControls[0])) return STATUS_NOT_IMPLEMENTED;
    const CameraControl& Row = CameraControls[Id];
    const ULONG Value = *static_cast<const ULONG*>(Data);
    if (Row.Set != nullptr) {
        Row.Set(Device, Value);
    } else if (Row.Wide != nullptr) {
        WriteOnce(Device->*Row.Wide, StoredValue(Row.Store, Value));
    } else if (Row.Narrow != nullptr) {
        WriteOnce(Device->*Row.Narrow, static_cast<UCHAR>(StoredValue(Row.Store, Value)));
    }
    return STATUS_SUCCESS;
}
