// CameraControlSet: one row per id. Plain settings are a field and a storing rule; the rest
// name a handler. The handlers take no lock: the frame work item reads the same fields.
#include "controls/camera_control_ids.h"
#include "controls/control_actions.h"
#include "controls/device_fields.h"
#include "controls/property_handlers.h"
#include "controls/window_placement.h"
#include "imaging/gain_table.h"
#include "usb/command_fields.h"
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
    CameraControlId Id;
    ULONG FieldOffset;  // a field of the DeviceContext, or none (handlers below)
    ULONG FieldBytes;   // 4, 1, or 0 for none
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

BOOLEAN GetRedGain(DeviceContext* Device, PULONG Value) { return GetGain(Device->Pipeline.RedGain, Value); }
BOOLEAN GetBlueGain(DeviceContext* Device, PULONG Value) { return GetGain(Device->Pipeline.BlueGain, Value); }
BOOLEAN GetGreenGain(DeviceContext* Device, PULONG Value) { return GetGain(Device->Pipeline.GreenGain, Value); }
VOID SetRedGain(DeviceContext* Device, ULONG Value) { SetColourGain(Device, Device->Pipeline.RedGain, Value); }
VOID SetBlueGain(DeviceContext* Device, ULONG Value) { SetColourGain(Device, Device->Pipeline.BlueGain, Value); }
VOID SetGreenGain(DeviceContext* Device, ULONG Value) { SetColourGain(Device, Device->Pipeline.GreenGain, Value); }

BOOLEAN GetExposal(DeviceContext* Device, PULONG Value) {
    *Value = LoadCommandUlong(Device, COMMAND_FIELD(Exposal));
    return TRUE;
}

// A one-push exposure would fight the automatic loop, so it is only taken while that is off.
VOID SetOnePushExposure(DeviceContext* Device, ULONG Value) {
    if (ReadOnce(Device->Image.AEing) == 0) WriteOnce(Device->Image.OnePushExposure, Value != 0 ? 1u : 0u);
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
    *Value = static_cast<ULONG>(ReadOnce(Device->Pipeline.Gamma));
    return TRUE;
}
VOID SetGamma(DeviceContext* Device, ULONG Value) { SetGammaIndex(Device, static_cast<LONG>(Value)); }

BOOLEAN GetDefectCapture(DeviceContext* Device, PULONG Value) {
    *Value = static_cast<ULONG>(ReadOnce(Device->Image.DefectCapture));
    return TRUE;
}
VOID SetDefectCapture(DeviceContext* Device, ULONG Value) {
    WriteOnce(Device->Image.DefectCapture, static_cast<LONG>(Value));
}

VOID RequestGainMapCapture(DeviceContext* Device, ULONG) { WriteOnce(Device->Image.GainMapCapture, 1u); }

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

#define FIELD(id, f, rule) {id, DEVICE_FIELD(f), Rule::rule, FALSE, nullptr, nullptr}
#define BYTE_FIELD(id, f) {id, DEVICE_FIELD(f), Rule::LowByte, FALSE, nullptr, nullptr}
#define SET_ONLY_FIELD(id, f) {id, DEVICE_FIELD(f), Rule::Whole, TRUE, nullptr, nullptr}
#define HANDLERS(id, get, set) {id, 0, 0, Rule::Whole, FALSE, get, set}
#define GET_FIELD_SET(id, f, set) {id, DEVICE_FIELD(f), Rule::Whole, FALSE, nullptr, set}

constexpr CameraControl CameraControls[] = {
    GET_FIELD_SET(kControlOnePushExposure, Image.OnePushExposure, SetOnePushExposure),
    FIELD(kControlOnePushWhiteBalance, Image.OnePushWhiteBalance, Flag),
    FIELD(kControlBWPreview, Image.BWPreview, Flag),
    FIELD(kControlLightAVG, Image.LightAVG, LowByte),
    FIELD(kControlCrossLine, Image.CrossLine, Flag),
    BYTE_FIELD(kControlLightModel, Image.LightModel),
    BYTE_FIELD(kControlVideoModel, Image.VideoModel),
    HANDLERS(kControlExposal, GetExposal, SetManualExposure),
    HANDLERS(kControlRedGain, GetRedGain, SetRedGain),
    HANDLERS(kControlBlueGain, GetBlueGain, SetBlueGain),
    HANDLERS(kControlGreenGain, GetGreenGain, SetGreenGain),
    BYTE_FIELD(kControlContrast, Image.Contrast),
    GET_FIELD_SET(kControlH_Off, Image.H_Off, SetHorizontalOffset),
    GET_FIELD_SET(kControlV_Off, Image.V_Off, SetVerticalOffset),
    FIELD(kControlCrossX, Image.CrossX, Whole),
    FIELD(kControlCrossY, Image.CrossY, Whole),
    FIELD(kControlCrossMid, Image.CrossMid, IsOne),
    GET_FIELD_SET(kControlOffsetMid, OffsetMid, SetWindowCentring),
    HANDLERS(kControlCameraWindow, nullptr, nullptr),  // the camera's window: 16 bytes, served apart
    HANDLERS(kControlUnused19, nullptr, nullptr),
    SET_ONLY_FIELD(kControlParamA, ParamA),
    SET_ONLY_FIELD(kControlParamB, ParamB),
    HANDLERS(kControlReadOutMode, GetReadOutMode, SetReadOutMode),
    FIELD(kControlClearView, ClearView, Flag),
    HANDLERS(kControlUnused24, nullptr, nullptr),
    HANDLERS(kControlUnused25, nullptr, nullptr),
    HANDLERS(kControlOptionA, GetOptionA, SetOptionA),
    HANDLERS(kControlOptionB, GetOptionB, SetOptionB),
    FIELD(kControlParamC, ParamC, Whole),
    HANDLERS(kControlGamma, GetGamma, SetGamma),
    HANDLERS(kControlDefectCapture, GetDefectCapture, SetDefectCapture),
    GET_FIELD_SET(kControlGainMapCapture, Image.GainMapCapture, RequestGainMapCapture),
    HANDLERS(kControlUnused32, nullptr, nullptr),
    HANDLERS(kControlUnused33, nullptr, nullptr),
    HANDLERS(kControlCameraValue, nullptr, SetOptionValue),  // the get asks the camera, apart
    HANDLERS(kControlPresent, GetAlwaysOne, nullptr),
    HANDLERS(kControlAllGain, GetAllGain, SetAnalogGain),
    FIELD(kControlColorAdjustType, Image.ColorAdjustType, Whole),
    HANDLERS(kControlCameraFlag, GetCameraFlag, SetCameraFlag),
};
static_assert(sizeof(CameraControls) / sizeof(CameraControls[0]) == kCameraControlCount);

// Row n serves id n.
constexpr bool RowsInIdOrder() {
    for (ULONG Index = 0; Index < kCameraControlCount; ++Index) {
        if (CameraControls[Index].Id != Index) return false;
    }
    return true;
}
static_assert(RowsInIdOrder());
static_assert(kCameraWindowBytes == kWindowValueBytes);

constexpr ULONG kValueBytes = sizeof(ULONG);

}  // namespace

NTSTATUS GetCameraControl(DeviceContext* Device, ULONG Id, PVOID Data, ULONG DataSize,
                          PULONG BytesReturned) {
    // The two ids that ask the camera fail with the camera's request.
    if (Id == kControlCameraWindow) {
        // The item table promises only 4 bytes; the window is 16.
        if (DataSize < kCameraWindowBytes) return STATUS_BUFFER_TOO_SMALL;
        const NTSTATUS Status = QueryCameraWindow(Device, Data);
        if (NT_SUCCESS(Status)) *BytesReturned = kCameraWindowBytes;
        return Status;
    }
    if (Id == kControlCameraValue) {
        const NTSTATUS Status = QueryCameraValue(Device, static_cast<PULONG>(Data));
        if (NT_SUCCESS(Status)) *BytesReturned = kValueBytes;
        return Status;
    }
    if (Id >= kCameraControlCount) return STATUS_NOT_IMPLEMENTED;
    const CameraControl& Row = CameraControls[Id];
    ULONG Value = 0;
    BOOLEAN Written = TRUE;
    if (Row.Get != nullptr) {
        Written = Row.Get(Device, &Value);
    } else if (Row.SetOnly) {
        Written = FALSE;
    } else if (Row.FieldBytes != 0) {
        Value = LoadDeviceField(Device, Row.FieldOffset, Row.FieldBytes);
    } else {
        Written = FALSE;
    }
    if (Written) *static_cast<PULONG>(Data) = Value;
    *BytesReturned = kValueBytes;
    return STATUS_SUCCESS;
}

NTSTATUS SetCameraControl(DeviceContext* Device, ULONG Id, PVOID Data, ULONG DataSize) {
    if (Id == kControlCameraWindow) {
        if (DataSize < kCameraWindowBytes) return STATUS_BUFFER_TOO_SMALL;
        return WriteCameraWindow(Device, Data);
    }
    if (Id >= kCameraControlCount) return STATUS_NOT_IMPLEMENTED;
    const CameraControl& Row = CameraControls[Id];
    const ULONG Value = *static_cast<const ULONG*>(Data);
    if (Row.Set != nullptr) {
        Row.Set(Device, Value);
    } else if (Row.FieldBytes != 0) {
        StoreDeviceField(Device, Row.FieldOffset, Row.FieldBytes, StoredValue(Row.Store, Value));
    }
    return STATUS_SUCCESS;
}
