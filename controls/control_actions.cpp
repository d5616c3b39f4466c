#include "controls/control_actions.h"

#include "imaging/gain_table.h"
#include "imaging/gamma_table.h"
#include "imaging/tone_table.h"
#include "usb/command_fields.h"

VOID SetManualExposure(DeviceContext* Device, ULONG Value) {
    if (ReadOnce(Device->Image.AEing) != 0) return;
    StoreCommandUlong(Device, COMMAND_FIELD(Exposal), Value);
    MarkSettingsChanged(Device);
}

VOID SetColourGain(DeviceContext* Device, PUCHAR Table, ULONG Value) {
    SetGain(Table, static_cast<LONG>(Value));
    MarkSettingsChanged(Device);
}

VOID SetAnalogGain(DeviceContext* Device, ULONG Value) {
    UCHAR Gain = static_cast<UCHAR>(Value & 0xFF);
    if (Gain < kAnalogGainMinimum) Gain = kAnalogGainMinimum;
    if (Gain > kAnalogGainMaximum) Gain = kAnalogGainMaximum;
    StoreAnalogGain(Device, Gain);
    MarkSettingsChanged(Device);
}

VOID StoreAnalogGain(DeviceContext* Device, UCHAR Gain) {
    for (ULONG Index = 0; Index < sizeof(CommandBlock::AllGain); ++Index) {
        StoreCommandByte(Device, COMMAND_FIELD(AllGain) + Index, Gain);
    }
}

UCHAR GetAnalogGain(const DeviceContext* Device) {
    return LoadCommandByte(Device, COMMAND_FIELD(AllGain));
}

VOID SetGammaIndex(DeviceContext* Device, LONG Index) {
    const LONG Gamma = ClampGammaIndex(Index);
    WriteOnce(Device->Pipeline.Gamma, Gamma);
    BuildToneTable(&Device->Pipeline.GammaValue, GammaForIndex(Device->Pipeline.GammaTable, Gamma),
                   Device->Pipeline.ToneTable, Device->Pipeline.LogTable);
}
