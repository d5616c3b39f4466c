// A settings field of the DeviceContext named by its offset and width (1 or 4 bytes), as the
// property and settings tables name their fields. Each is read and written whole, since the
// frame work item reads the same fields while a request writes them.
#pragma once

#include "driver/device_context.h"

// Offset and width of a DeviceContext field, for a table row: DEVICE_FIELD(Image.Contrast).
#define DEVICE_FIELD(f) \
    static_cast<ULONG>(offsetof(DeviceContext, f)), static_cast<ULONG>(sizeof(DeviceContext::f))

inline ULONG LoadDeviceField(const DeviceContext* Device, ULONG Offset, ULONG Width) {
    const UCHAR* Field = reinterpret_cast<const UCHAR*>(Device) + Offset;
    return Width == 1 ? ReadOnce(*Field) : ReadOnce(*reinterpret_cast<const ULONG*>(Field));
}

inline VOID StoreDeviceField(DeviceContext* Device, ULONG Offset, ULONG Width, ULONG Value) {
    UCHAR* Field = reinterpret_cast<UCHAR*>(Device) + Offset;
    if (Width == 1) {
        WriteOnce(*Field, static_cast<UCHAR>(Value));
    } else {
        WriteOnce(*reinterpret_cast<ULONG*>(Field), Value);
    }
}
