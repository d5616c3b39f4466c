// Claiming raw-frame buffers and appending transfers to the frame being assembled.
#include "usb/frame_building.h"

#include "usb/transfer_slot.h"

// The raw buffer released last at a start; the completion takes buffer 0 first.
constexpr LONG kRawReleaseIndexAtStart = kRawFrameCount - 1;

void SetRawFrameGeometry(DeviceContext* Device, ULONG Width, ULONG Height) {
    const ULONG rawBytes = Width * Height;
    const ULONG transfers = rawBytes / kTransferBytes + 1;
    WriteOnce(Device->TransfersPerFrame, transfers);
    WriteOnce(Device->TransfersLeft, transfers);
    WriteOnce(Device->LastTransferBytes, rawBytes % kTransferBytes);
}

void ResetFrameAssembly(DeviceContext* Device) {
    WriteOnce(Device->RawWriteIndex, 0);
    WriteOnce(Device->RawReleaseIndex, kRawReleaseIndexAtStart);
    InterlockedExchange(&Device->SwitchRawFrame, 1);
}

bool RawFrameCanBeHandedOn(const DeviceContext* Device) {
    return ReadOnce(Device->RawReleaseIndex) != ReadOnce(Device->RawWriteIndex);
}

void RawFrameHandedOn(DeviceContext* Device) { InterlockedIncrement(&Device->SwitchRawFrame); }

void ReleaseRawFrame(DeviceContext* Device) {
    WriteOnce(Device->RawReleaseIndex,
              static_cast<LONG>((ReadOnce(Device->RawReleaseIndex) + 1) % kRawFrameCount));
}

void ClaimRawFrame(DeviceContext* Device) {
    if (ReadOnce(Device->SwitchRawFrame) != 1) return;
    InterlockedDecrement(&Device->SwitchRawFrame);
    LONG write = Device->RawWriteIndex;
    if (write == ReadOnce(Device->RawReleaseIndex)) return;
    WriteOnce(Device->FillingFrame, Device->RawFrames[write]);
    WriteOnce(Device->RawWriteIndex, static_cast<LONG>((write + 1) % kRawFrameCount));
}

static void RestartFrame(DeviceContext* Device, ULONG Transfers) {
    WriteOnce(Device->TransfersLeft, Transfers);
}

FrameProgress AppendTransfer(DeviceContext* Device, const UCHAR* Data, ULONG Length) {
    ULONG transfers = ReadOnce(Device->TransfersPerFrame);
    ULONG left = ReadOnce(Device->TransfersLeft);
    PUCHAR frame = ReadOnce(Device->FillingFrame);
    // A count left over from another geometry, or no buffer yet: start over at a frame boundary.
    if (left == 0 || left > transfers || frame == nullptr) {
        RestartFrame(Device, transfers);
        return FrameProgress::Dropped;
    }
    ULONG offset = (transfers - left) * kTransferBytes;
    if (Length == kTransferBytes && left > 1 && offset + Length <= kRawFrameBytes) {
        RtlCopyMemory(frame + offset, Data, Length);
        InterlockedDecrement(reinterpret_cast<volatile LONG*>(&Device->TransfersLeft));
        return FrameProgress::Incomplete;
    }
    RestartFrame(Device, transfers);
    if (Length < kTransferBytes && left == 1 && Length == ReadOnce(Device->LastTransferBytes) &&
        offset + Length <= kRawFrameBytes) {
        RtlCopyMemory(frame + offset, Data, Length);
        return FrameProgress::Complete;
    }
    return FrameProgress::Dropped;
}
