// One row per stored setting: its value name, how its data is taken on load, and where it
// lives. Rows are in the order the values are read; kSaveOrder gives the order they are
// written.
#include "controls/stored_settings.h"

#include "controls/control_actions.h"
#include "controls/device_fields.h"
#include "controls/settings_key.h"
#include "imaging/gain_table.h"
#include "imaging/gamma_table.h"
#include "usb/command_fields.h"
#include "usb/trace.h"

namespace {

enum class Load : UCHAR {
    Byte,     // first data byte
    Dword,    // first four data bytes
    Flag,     // first four data bytes tested against zero
    Gain,     // first four data bytes passed to SetGain
    AllGain,  // first data byte copied into all three AllGain bytes
    Gamma,    // first data byte, clamped to the gamma table
};

enum class Home : UCHAR { Device, Command };

struct StoredSetting {
    PCWSTR Name;
    Load How;
    Home Where;
    ULONG Offset;  // into DeviceContext or CommandBlock
    ULONG Width;   // 1 or 4 bytes
};

#define DEVICE(f) Home::Device, DEVICE_FIELD(f)
#define COMMAND(f) Home::Command, COMMAND_FIELD(f), sizeof(CommandBlock::f)
#define GAIN(f) Home::Device, static_cast<ULONG>(offsetof(DeviceContext, f)), 4

constinit const StoredSetting StoredSettings[kStoredSettingCount] = {
    {WIDE_TEXT("Saturntion"), Load::Byte, DEVICE(Image.Saturntion)},
    {WIDE_TEXT("Sharp"), Load::Byte, DEVICE(Sharp)},
    {WIDE_TEXT("Gamma"), Load::Gamma, DEVICE(Pipeline.Gamma)},
    {WIDE_TEXT("ColorAdjustType"), Load::Dword, DEVICE(Image.ColorAdjustType)},
    {WIDE_TEXT("Exposal"), Load::Dword, COMMAND(Exposal)},
    {WIDE_TEXT("R_Gain"), Load::Gain, GAIN(Pipeline.RedGain)},
    {WIDE_TEXT("G_Gain"), Load::Gain, GAIN(Pipeline.GreenGain)},
    {WIDE_TEXT("B_Gain"), Load::Gain, GAIN(Pipeline.BlueGain)},
    {WIDE_TEXT("ALL_Gain"), Load::AllGain, Home::Command, COMMAND_FIELD(AllGain), 1},
    {WIDE_TEXT("Contrast"), Load::Byte, DEVICE(Image.Contrast)},
    {WIDE_TEXT("CrossX"), Load::Dword, DEVICE(Image.CrossX)},
    {WIDE_TEXT("CrossY"), Load::Dword, DEVICE(Image.CrossY)},
    {WIDE_TEXT("BWPreview"), Load::Flag, DEVICE(Image.BWPreview)},
    {WIDE_TEXT("CrossLine"), Load::Flag, DEVICE(Image.CrossLine)},
    {WIDE_TEXT("LightAVG"), Load::Flag, DEVICE(Image.LightAVG)},
    {WIDE_TEXT("AEing"), Load::Flag, DEVICE(Image.AEing)},
    {WIDE_TEXT("CrossMid"), Load::Flag, DEVICE(Image.CrossMid)},
    {WIDE_TEXT("OffsetMid"), Load::Flag, DEVICE(OffsetMid)},
    {WIDE_TEXT("ClearView"), Load::Flag, DEVICE(ClearView)},
    {WIDE_TEXT("ClearViewParam"), Load::Dword, DEVICE(ClearViewParam)},
    {WIDE_TEXT("LightModel"), Load::Byte, DEVICE(Image.LightModel)},
    {WIDE_TEXT("VideoModel"), Load::Byte, DEVICE(Image.VideoModel)},
    {WIDE_TEXT("Control"), Load::Byte, COMMAND(Control)},
    {WIDE_TEXT("H_Off"), Load::Dword, DEVICE(Image.H_Off)},
    {WIDE_TEXT("V_Off"), Load::Dword, DEVICE(Image.V_Off)},
};

// Indexes into StoredSettings.
constexpr UCHAR kSaveOrder[kStoredSettingCount] = {
    4,  /* Exposal */   5,  /* R_Gain */     7,  /* B_Gain */      6,  /* G_Gain */
    9,  /* Contrast */  10, /* CrossX */     11, /* CrossY */      21, /* VideoModel */
    20, /* LightModel */ 12, /* BWPreview */ 13, /* CrossLine */   14, /* LightAVG */
    16, /* CrossMid */  17, /* OffsetMid */  18, /* ClearView */   19, /* ClearViewParam */
    22, /* Control */   23, /* H_Off */      24, /* V_Off */       3,  /* ColorAdjustType */
    8,  /* ALL_Gain */  2,  /* Gamma */      0,  /* Saturntion */  1,  /* Sharp */
    15, /* AEing */
};

ULONG LoadField(const DeviceContext* Device, const StoredSetting& Row) {
    if (Row.Where == Home::Command) {
        return Row.Width == 1 ? LoadCommandByte(Device, Row.Offset) : LoadCommandUlong(Device, Row.Offset);
    }
    return LoadDeviceField(Device, Row.Offset, Row.Width);
}

VOID StoreField(DeviceContext* Device, const StoredSetting& Row, ULONG Value) {
    if (Row.Where == Home::Command) {
        if (Row.Width == 1) {
            StoreCommandByte(Device, Row.Offset, static_cast<UCHAR>(Value));
        } else {
            StoreCommandUlong(Device, Row.Offset, Value);
        }
        return;
    }
    StoreDeviceField(Device, Row.Offset, Row.Width, Value);
}

PUCHAR GainTable(DeviceContext* Device, const StoredSetting& Row) {
    return *reinterpret_cast<PUCHAR*>(reinterpret_cast<UCHAR*>(Device) + Row.Offset);
}

VOID ApplyStoredValue(DeviceContext* Device, const StoredSetting& Row, const UCHAR* Data) {
    const ULONG Dword = Data[0] | Data[1] << 8 | Data[2] << 16 | static_cast<ULONG>(Data[3]) << 24;
    switch (Row.How) {
    case Load::Byte: StoreField(Device, Row, Data[0]); break;
    case Load::Dword: StoreField(Device, Row, Dword); break;
    case Load::Flag: StoreField(Device, Row, Dword != 0); break;
    case Load::Gain: SetGain(GainTable(Device, Row), static_cast<LONG>(Dword)); break;
    case Load::Gamma: StoreField(Device, Row, static_cast<ULONG>(ClampGammaIndex(Data[0]))); break;
    case Load::AllGain: StoreAnalogGain(Device, Data[0]); break;
    }
}

// A gain value the loader turns into a table GetGain can read back.
BOOLEAN IsUsableGain(ULONG Value) {
    UCHAR Table[GainTableEntries];
    ULONG Derived;
    SetGain(Table, static_cast<LONG>(Value));
    return GetGain(Table, &Derived);
}

// What a gain table is saved as. A table with no slope left to read (all 0 or 255) keeps the
// stored value if that still loads into a usable table, else unity, so the next load never
// builds a dead table from a value nobody chose.
ULONG GainToSave(HANDLE Key, PCWSTR Name, const UCHAR* Table) {
    ULONG Value;
    if (GetGain(Table, &Value)) return Value;
    if (QuerySettingDword(Key, Name, &Value) && IsUsableGain(Value)) return Value;
    return UnityGainValue;
}

ULONG ValueToSave(DeviceContext* Device, HANDLE Key, const StoredSetting& Row) {
    switch (Row.How) {
    case Load::Flag: return LoadField(Device, Row) != 0;
    case Load::Gain: return GainToSave(Key, Row.Name, GainTable(Device, Row));
    default: return LoadField(Device, Row);  // byte fields zero-extended, the rest whole
    }
}

}  // namespace

VOID ReadStoredSettings(DeviceContext* Device) {
    SettingsQuery Query;
    if (!OpenSettingsForReading(&Query)) return;
    for (const StoredSetting& Row : StoredSettings) {
        const UCHAR* Data = QuerySettingData(&Query, Row.Name);
        if (Data != nullptr) ApplyStoredValue(Device, Row, Data);
    }
    CloseSettingsQuery(&Query);
}

// The stop, close or uninitialization that saves goes on whatever happens here; a value that
// could not be written keeps its stored contents, and the trace says so.
VOID WriteStoredSettings(DeviceContext* Device) {
    HANDLE Key;
    NTSTATUS Status = OpenSettingsForWriting(&Key);
    if (!NT_SUCCESS(Status)) {
        TRACE_EVENT("settings not saved: the key could not be opened (%08X)", TraceStatus(Status));
        return;
    }
    ULONG Failed = 0;
    NTSTATUS FirstFailure = STATUS_SUCCESS;
    for (UCHAR Index : kSaveOrder) {
        const StoredSetting& Row = StoredSettings[Index];
        Status = WriteSettingDword(Key, Row.Name, ValueToSave(Device, Key, Row));
        if (!NT_SUCCESS(Status) && Failed++ == 0) FirstFailure = Status;
    }
    ZwClose(Key);
    if (Failed != 0) {
        TRACE_EVENT("settings: %u of %u values not saved (first failure %08X)",
                    static_cast<unsigned>(Failed), static_cast<unsigned>(kStoredSettingCount),
                    TraceStatus(FirstFailure));
    }
}

BOOLEAN ApplyStoredSetting(DeviceContext* Device, PCWSTR Name, ULONG Value) {
    for (const StoredSetting& Row : StoredSettings) {
        ULONG Index = 0;
        while (Row.Name[Index] != 0 && Row.Name[Index] == Name[Index]) ++Index;
        if (Row.Name[Index] != 0 || Name[Index] != 0) continue;
        const UCHAR Data[4] = {static_cast<UCHAR>(Value), static_cast<UCHAR>(Value >> 8),
                               static_cast<UCHAR>(Value >> 16), static_cast<UCHAR>(Value >> 24)};
        // Gains become tables in floating point.
        WithFloatingPointSaved([&] { ApplyStoredValue(Device, Row, Data); });
        return TRUE;
    }
    return FALSE;
}
