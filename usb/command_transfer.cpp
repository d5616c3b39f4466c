// SendCommandBlock and ReadStatusBlock: the two transfers of the camera's control channel,
// and the lock that keeps them and the query sequences apart.
#include "driver/device_context.h"
#include "platform/kernel.h"
#include "platform/usb.h"
#include "usb/command_block.h"
#include "usb/command_lock.h"
#include "usb/pool_tags.h"
#include "usb/streaming_pipes.h"
#include "usb/usb_requests.h"

namespace {

constexpr USHORT kBulkUrbLength = sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER);

// The send's URB and the snapshot of the block it carries, in one allocation: the live block
// may change while the transfer is in flight, the snapshot does not.
struct CommandSend {
    struct _URB_BULK_OR_INTERRUPT_TRANSFER Urb;
    CommandBlock Block;
};

PURB AsUrb(struct _URB_BULK_OR_INTERRUPT_TRANSFER* Bulk) {
    return reinterpret_cast<PURB>(Bulk);
}

VOID FormatBulkTransfer(struct _URB_BULK_OR_INTERRUPT_TRANSFER* Bulk, USBD_PIPE_HANDLE Pipe,
                        ULONG Flags, PVOID Buffer, ULONG Length) {
    RtlZeroMemory(Bulk, sizeof(*Bulk));
    Bulk->Hdr.Length = kBulkUrbLength;
    Bulk->Hdr.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
    Bulk->PipeHandle = Pipe;
    Bulk->TransferFlags = Flags;
    Bulk->TransferBufferLength = Length;
    Bulk->TransferBuffer = Buffer;
}

// A failed transfer leaves its endpoint halted after a stall, and every later block would fail
// with it: the camera could then never be started or stopped again until it is replugged. So
// the pipe is reset and the transfer tried once more. The outcome stays silent either way.
VOID SubmitControlTransfer(DeviceContext* Device, ULONG PipeIndex,
                           struct _URB_BULK_OR_INTERRUPT_TRANSFER* Bulk, ULONG Flags,
                           PVOID Buffer, ULONG Length) {
    for (int Attempt = 0; Attempt < 2; ++Attempt) {
        FormatBulkTransfer(Bulk, Device->PipeHandles[PipeIndex], Flags, Buffer, Length);
        const NTSTATUS Status = SubmitUrbSync(Device, AsUrb(Bulk));
        if (NT_SUCCESS(Status) && USBD_SUCCESS(Bulk->Hdr.Status)) return;
        ResetPipeAndClearStall(Device, PipeIndex);
    }
}

}  // namespace

VOID InitializeCommandLock(DeviceContext* Device) {
    KeInitializeEvent(&Device->CommandLock, SynchronizationEvent, TRUE);
}

VOID AcquireCommandLock(DeviceContext* Device) {
    KeWaitForSingleObject(&Device->CommandLock, Executive, KernelMode, FALSE, nullptr);
}

VOID ReleaseCommandLock(DeviceContext* Device) {
    KeSetEvent(&Device->CommandLock, IO_NO_INCREMENT, FALSE);
}

VOID LoadCommandBytes(const DeviceContext* Device, ULONG Offset, PVOID Destination, ULONG Count) {
    const UCHAR* Source = reinterpret_cast<const UCHAR*>(&Device->Command) + Offset;
    PUCHAR Target = static_cast<PUCHAR>(Destination);
    for (ULONG Index = 0; Index < Count; ++Index) Target[Index] = ReadOnce(Source[Index]);
}

VOID StoreCommandBytes(DeviceContext* Device, ULONG Offset, const VOID* Source, ULONG Count) {
    PUCHAR Target = reinterpret_cast<PUCHAR>(&Device->Command) + Offset;
    const UCHAR* Bytes = static_cast<const UCHAR*>(Source);
    for (ULONG Index = 0; Index < Count; ++Index) WriteOnce(Target[Index], Bytes[Index]);
}

VOID SendCommandBlockLocked(DeviceContext* Device) {
    CommandSend* Send = static_cast<CommandSend*>(
        ExAllocatePoolWithTag(NonPagedPool, sizeof(CommandSend), kTagCommandUrb));
    if (Send == nullptr) return;  // the camera keeps its previous parameters
    LoadCommandBytes(Device, 0, &Send->Block, sizeof(CommandBlock));
    SubmitControlTransfer(Device, kCommandPipe, &Send->Urb, USBD_SHORT_TRANSFER_OK, &Send->Block,
                          sizeof(CommandBlock));
    ExFreePool(Send);
}

VOID ReadStatusBlockLocked(DeviceContext* Device) {
    if (Device->PipeHandles[kStatusPipe] == nullptr) return;
    auto* Bulk = static_cast<struct _URB_BULK_OR_INTERRUPT_TRANSFER*>(
        ExAllocatePoolWithTag(NonPagedPool, kBulkUrbLength, kTagStatusUrb));
    if (Bulk == nullptr) return;  // Status keeps the last reply
    SubmitControlTransfer(Device, kStatusPipe, Bulk,
                          USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK, &Device->Status,
                          sizeof(StatusBlock));
    ExFreePool(Bulk);
}

// Called by the stream-state handler, the frame work item, the exposure steps and the defect
// capture, at PASSIVE_LEVEL.
void SendCommandBlock(DeviceContext* Device) {
    AcquireCommandLock(Device);
    SendCommandBlockLocked(Device);
    ReleaseCommandLock(Device);
}

// Reads the StatusBlock outside a sequence, at PASSIVE_LEVEL.
void ReadStatusBlock(DeviceContext* Device) {
    AcquireCommandLock(Device);
    ReadStatusBlockLocked(Device);
    ReleaseCommandLock(Device);
}
