// The query and write sequences. Each runs entirely under the command lock, so no other send
// can go out between setting a query code and restoring CommandCode 14, and the StatusBlock it
// reads is the reply to its own query.
#include "usb/command_sequences.h"

#include "driver/device_context.h"
#include "usb/command_block.h"
#include "usb/command_fields.h"
#include "usb/command_lock.h"

namespace {

constexpr ULONG kReplyOffset = 4;  // StatusBlock offset of every reply
constexpr ULONG kWindowOffset = offsetof(CommandBlock, FrameHeight);
constexpr ULONG kCommandCodeOffset = offsetof(CommandBlock, CommandCode);
constexpr ULONG kControlOffset = offsetof(CommandBlock, Control);
constexpr UCHAR kReadOutModeMask = 3;
constexpr UCHAR kReadOutModeDoubled = 1;

static_assert(offsetof(CommandBlock, FrameWidth) == kWindowOffset + 4);
static_assert(offsetof(CommandBlock, WindowY) == kWindowOffset + kWindowValueBytes - 4);

// The four window values in the order they lie in the CommandBlock.
struct WindowValues {
    ULONG FrameHeight;
    ULONG FrameWidth;
    ULONG WindowX;
    ULONG WindowY;
};
static_assert(sizeof(WindowValues) == kWindowValueBytes);

VOID LoadWindow(const DeviceContext* Device, WindowValues* Window) {
    Window->FrameHeight = LoadCommandUlong(Device, COMMAND_FIELD(FrameHeight));
    Window->FrameWidth = LoadCommandUlong(Device, COMMAND_FIELD(FrameWidth));
    Window->WindowX = LoadCommandUlong(Device, COMMAND_FIELD(WindowX));
    Window->WindowY = LoadCommandUlong(Device, COMMAND_FIELD(WindowY));
}

VOID StoreWindow(DeviceContext* Device, const WindowValues& Window) {
    StoreCommandUlong(Device, COMMAND_FIELD(FrameHeight), Window.FrameHeight);
    StoreCommandUlong(Device, COMMAND_FIELD(FrameWidth), Window.FrameWidth);
    StoreCommandUlong(Device, COMMAND_FIELD(WindowX), Window.WindowX);
    StoreCommandUlong(Device, COMMAND_FIELD(WindowY), Window.WindowY);
}

VOID SetCommandCode(DeviceContext* Device, UCHAR Code) {
    StoreCommandByte(Device, kCommandCodeOffset, Code);
}

// Sends the block with Code, reads the reply when there is a status pipe, restores code 14.
// A block the camera did not get has no reply to read. Lock held.
NTSTATUS RunQuery(DeviceContext* Device, UCHAR Code) {
    SetCommandCode(Device, Code);
    NTSTATUS Status = SendCommandBlockLocked(Device);
    if (NT_SUCCESS(Status)) Status = ReadStatusBlockLocked(Device);
    SetCommandCode(Device, kCommandApply);
    return Status;
}

// Sensor columns (or rows) a frame dimension covers: twice the dimension in read-out mode 1
// when it is at most half the sensor.
ULONG SensorSpan(ULONG FrameSize, ULONG SensorSize, BOOLEAN Doubled) {
    return (Doubled && FrameSize <= SensorSize / 2) ? 2 * FrameSize : FrameSize;
}

BOOLEAN FitsSensor(ULONG Offset, ULONG Span, ULONG SensorSize) {
    return Span <= SensorSize && Offset <= SensorSize - Span;
}

// A window the driver can take: the current frame size (the raw buffers, the transfer count
// and the pipeline all follow it) placed wholly on the sensor. Lock held.
BOOLEAN IsAcceptableWindow(const DeviceContext* Device, const WindowValues& Window) {
    WindowValues Current;
    LoadWindow(Device, &Current);
    const UCHAR Control = LoadCommandByte(Device, kControlOffset);
    if (Window.FrameWidth != Current.FrameWidth || Window.FrameHeight != Current.FrameHeight) {
        return FALSE;
    }
    BOOLEAN Doubled = (Control & kReadOutModeMask) == kReadOutModeDoubled;
    return FitsSensor(Window.WindowX, SensorSpan(Window.FrameWidth, kSensorWidth, Doubled),
                      kSensorWidth) &&
           FitsSensor(Window.WindowY, SensorSpan(Window.FrameHeight, kSensorHeight, Doubled),
                      kSensorHeight);
}

}  // namespace

// Get of the window property; PASSIVE_LEVEL.
NTSTATUS QueryCameraWindow(DeviceContext* Device, PVOID Window) {
    AcquireCommandLock(Device);
    const NTSTATUS Status = RunQuery(Device, kCommandReadWindow);
    if (NT_SUCCESS(Status)) {
        RtlCopyMemory(Window, &Device->Status.Bytes[kReplyOffset], kWindowValueBytes);
    }
    ReleaseCommandLock(Device);
    return Status;
}

// Get of the camera value property; PASSIVE_LEVEL.
NTSTATUS QueryCameraValue(DeviceContext* Device, PULONG Value) {
    AcquireCommandLock(Device);
    const NTSTATUS Status = RunQuery(Device, kCommandReadValue);
    if (NT_SUCCESS(Status)) RtlCopyMemory(Value, &Device->Status.Bytes[kReplyOffset], sizeof(ULONG));
    ReleaseCommandLock(Device);
    return Status;
}

// Set of the window property; PASSIVE_LEVEL.
NTSTATUS WriteCameraWindow(DeviceContext* Device, const VOID* Window) {
    WindowValues Requested;
    RtlCopyMemory(&Requested, Window, sizeof(Requested));
    AcquireCommandLock(Device);
    if (!IsAcceptableWindow(Device, Requested)) {
        ReleaseCommandLock(Device);
        return STATUS_INVALID_PARAMETER;
    }
    SetCommandCode(Device, kCommandWriteWindow);
    StoreWindow(Device, Requested);
    const NTSTATUS Status = SendCommandBlockLocked(Device);
    SetCommandCode(Device, kCommandApply);
    ReleaseCommandLock(Device);
    return Status;
}
