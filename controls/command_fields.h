// Reading and writing single fields of the live CommandBlock from the property handlers and
// the settings store. The block is sent by other contexts while we write it, so every access
// goes through the byte-wise atomic copies of usb/command_lock.h.
#pragma once

#include "driver/device_context.h"
#include "usb/command_block.h"
#include "usb/command_lock.h"

#define COMMAND_FIELD(Field) static_cast<ULONG>(offsetof(CommandBlock, Field))

inline ULONG LoadCommandUlong(const DeviceContext* Device, ULONG Offset) {
    ULONG Value;
    LoadCommandBytes(Device, Offset, &Value, sizeof(Value));
    return Value;
}

inline VOID StoreCommandUlong(DeviceContext* Device, ULONG Offset, ULONG Value) {
    StoreCommandBytes(Device, Offset, &Value, sizeof(Value));
}

inline UCHAR LoadCommandByte(const DeviceContext* Device, ULONG Offset) {
    UCHAR Value;
    LoadCommandBytes(Device, Offset, &Value, 1);
    return Value;
}

inline VOID StoreCommandByte(DeviceContext* Device, ULONG Offset, UCHAR Value) {
    StoreCommandBytes(Device, Offset, &Value, 1);
}

// Asks the frame path to send the CommandBlock after the frame it is working on.
inline VOID MarkSettingsChanged(DeviceContext* Device) { WriteOnce(Device->SettingsChanged, 1); }
