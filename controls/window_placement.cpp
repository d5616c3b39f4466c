#include "controls/window_placement.h"

#include "controls/control_actions.h"
#include "usb/command_fields.h"

namespace {

constexpr ULONG kSensorCentreX = kSensorWidth / 2;
constexpr ULONG kSensorCentreY = kSensorHeight / 2;
constexpr UCHAR kReadOutModeMask = 3;

struct WindowSize {
    ULONG Width;
    ULONG Height;
};

// The sensor area the frame covers: doubled per dimension when Doubled and it fits.
WindowSize EffectiveSize(const DeviceContext* Device, BOOLEAN Doubled) {
    WindowSize Size = {LoadCommandUlong(Device, COMMAND_FIELD(FrameWidth)),
                       LoadCommandUlong(Device, COMMAND_FIELD(FrameHeight))};
    if (Doubled && Size.Width <= kSensorCentreX) Size.Width *= 2;
    if (Doubled && Size.Height <= kSensorCentreY) Size.Height *= 2;
    return Size;
}

UCHAR Control(const DeviceContext* Device) { return LoadCommandByte(Device, COMMAND_FIELD(Control)); }

BOOLEAN ModeOneDoubles(const DeviceContext* Device) {
    return (Control(Device) & kReadOutModeMask) == 1;
}

BOOLEAN BitZeroDoubles(const DeviceContext* Device) { return (Control(Device) & 1) != 0; }

// Compared unsigned, as the camera takes the offsets.
ULONG Clamped(ULONG Offset, ULONG SensorSize, ULONG Span) {
    return Offset > SensorSize - Span ? SensorSize - Span : Offset;
}

VOID StoreWindow(DeviceContext* Device, ULONG X, ULONG Y) {
    StoreCommandUlong(Device, COMMAND_FIELD(WindowX), X);
    StoreCommandUlong(Device, COMMAND_FIELD(WindowY), Y);
}

// Centred, or at the offsets clamped to the sensor for this size.
VOID PlaceWindow(DeviceContext* Device, BOOLEAN Centred, WindowSize Size) {
    if (Centred) {
        StoreWindow(Device, kSensorCentreX - Size.Width / 2, kSensorCentreY - Size.Height / 2);
    } else {
        StoreWindow(Device, Clamped(ReadOnce(Device->Image.H_Off), kSensorWidth, Size.Width),
                    Clamped(ReadOnce(Device->Image.V_Off), kSensorHeight, Size.Height));
    }
}

}  // namespace

VOID SetHorizontalOffset(DeviceContext* Device, ULONG Value) {
    const ULONG Offset = Clamped(Value, kSensorWidth, EffectiveSize(Device, ModeOneDoubles(Device)).Width);
    WriteOnce(Device->Image.H_Off, Offset);
    if (ReadOnce(Device->OffsetMid) != 0) return;
    StoreCommandUlong(Device, COMMAND_FIELD(WindowX), Offset);
    MarkSettingsChanged(Device);
}

VOID SetVerticalOffset(DeviceContext* Device, ULONG Value) {
    const ULONG Offset = Clamped(Value, kSensorHeight, EffectiveSize(Device, ModeOneDoubles(Device)).Height);
    WriteOnce(Device->Image.V_Off, Offset);
    if (ReadOnce(Device->OffsetMid) != 0) return;
    StoreCommandUlong(Device, COMMAND_FIELD(WindowY), Offset);
    MarkSettingsChanged(Device);
}

VOID SetWindowCentring(DeviceContext* Device, ULONG Value) {
    const BOOLEAN Centred = Value == 1;
    WriteOnce(Device->OffsetMid, Centred ? 1u : 0u);
    PlaceWindow(Device, Centred, EffectiveSize(Device, BitZeroDoubles(Device)));
    MarkSettingsChanged(Device);
}

VOID SetReadOutMode(DeviceContext* Device, ULONG Value) {
    const UCHAR Mode = static_cast<UCHAR>((Control(Device) & ~1u) | (Value == 1 ? 1u : 0u));
    StoreCommandByte(Device, COMMAND_FIELD(Control), Mode);
    PlaceWindow(Device, ReadOnce(Device->OffsetMid) != 0, EffectiveSize(Device, ModeOneDoubles(Device)));
    MarkSettingsChanged(Device);
}

VOID PlaceLoadedWindow(DeviceContext* Device) {
    if (ReadOnce(Device->OffsetMid) == 0) {
        StoreWindow(Device, ReadOnce(Device->Image.H_Off), ReadOnce(Device->Image.V_Off));
        return;
    }
    // Signed halves: a frame wider than the sensor puts the window left of column 0, and the
    // camera receives that negative value's two's complement as it always has.
    const WindowSize Size = EffectiveSize(Device, BitZeroDoubles(Device));
    const LONG X = static_cast<LONG>(kSensorCentreX) - static_cast<LONG>(Size.Width / 2);
    const LONG Y = static_cast<LONG>(kSensorCentreY) - static_cast<LONG>(Size.Height / 2);
    StoreWindow(Device, static_cast<ULONG>(X), static_cast<ULONG>(Y));
}
