// SendCommandBlock and ReadStatusBlock: the two transfers of the camera's control channel,
// and the lock that keeps them and the query sequences apart.
#include "driver/device_context.h"
#include "platform/kernel.h"
#include "platform/usb.h"
#include "usb/command_block.h"
#include "usb/command_fields.h"
#include "usb/command_lock.h"
#include "usb/pool_tags.h"
#include "usb/streaming_pipes.h"
#include "usb/trace.h"
#include "usb/usb_requests.h"

namespace {

// The send's URB and the snapshot of the block it carries, in one allocation: the live block
// may change while the transfer is in flight, the snapshot does not.
struct CommandSend {
    struct _URB_BULK_OR_INTERRUPT_TRANSFER Urb;
    CommandBlock Block;
};

PURB AsUrb(struct _URB_BULK_OR_INTERRUPT_TRANSFER* Bulk) {
    return reinterpret_cast<PURB>(Bulk);
}

// A transfer the stack accepted but whose URB reports an error has failed too.
NTSTATUS TransferOutcome(NTSTATUS Submitted, const struct _URB_BULK_OR_INTERRUPT_TRANSFER& Bulk) {
    if (!NT_SUCCESS(Submitted)) return Submitted;
    return USBD_SUCCESS(Bulk.Hdr.Status) ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
}

// A failed transfer leaves its endpoint halted after a stall, and every later block would fail
// with it: the camera could then never be started or stopped again until it is replugged. So
// the pipe is reset and the transfer tried once more. A camera that did not answer in time is
// not asked again: that would only double the wait.
NTSTATUS SubmitControlTransfer(DeviceContext* Device, ULONG PipeIndex,
                               struct _URB_BULK_OR_INTERRUPT_TRANSFER* Bulk, ULONG Flags,
                               PVOID Buffer, ULONG Length) {
    NTSTATUS Status = STATUS_UNSUCCESSFUL;
    for (int Attempt = 0; Attempt < 2; ++Attempt) {
        RtlZeroMemory(Bulk, sizeof(*Bulk));
        UsbBuildInterruptOrBulkTransferRequest(AsUrb(Bulk), sizeof(*Bulk),
                                               Device->PipeHandles[PipeIndex], Buffer, nullptr,
                                               Length, Flags, nullptr);
        Status = TransferOutcome(SubmitUrbSync(Device, AsUrb(Bulk)), *Bulk);
        if (NT_SUCCESS(Status) || Status == STATUS_IO_TIMEOUT) break;
        const NTSTATUS Reset = ResetPipeAndClearStall(Device, PipeIndex);
        if (!NT_SUCCESS(Reset)) break;
    }
    // A time-out has left its own line.
    if (!NT_SUCCESS(Status) && Status != STATUS_IO_TIMEOUT) {
        TRACE_EVENT("%s transfer failed with %08X",
                    PipeIndex == kCommandPipe ? "CommandBlock" : "StatusBlock", TraceStatus(Status));
    }
    return Status;
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

NTSTATUS SendCommandBlockLocked(DeviceContext* Device) {
    CommandSend* Send = static_cast<CommandSend*>(
        ExAllocatePoolWithTag(NonPagedPool, sizeof(CommandSend), kTagCommandUrb));
    if (Send == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    SnapshotCommandBlock(Device, &Send->Block);
    const NTSTATUS Status = SubmitControlTransfer(Device, kCommandPipe, &Send->Urb,
                                                  USBD_SHORT_TRANSFER_OK, &Send->Block,
                                                  sizeof(CommandBlock));
    ExFreePool(Send);
    return Status;
}

NTSTATUS ReadStatusBlockLocked(DeviceContext* Device) {
    if (Device->PipeHandles[kStatusPipe] == nullptr) return STATUS_SUCCESS;
    auto* Bulk = static_cast<struct _URB_BULK_OR_INTERRUPT_TRANSFER*>(ExAllocatePoolWithTag(
        NonPagedPool, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER), kTagStatusUrb));
    if (Bulk == nullptr) return STATUS_INSUFFICIENT_RESOURCES;  // Status keeps the last reply
    const NTSTATUS Status = SubmitControlTransfer(
        Device, kStatusPipe, Bulk, USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK,
        &Device->Status, sizeof(StatusBlock));
    ExFreePool(Bulk);
    return Status;
}

// Called by the stream-state handler, the frame work item, the exposure steps and the defect
// capture, at PASSIVE_LEVEL.
NTSTATUS SendCommandBlock(DeviceContext* Device) {
    AcquireCommandLock(Device);
    const NTSTATUS Status = SendCommandBlockLocked(Device);
    ReleaseCommandLock(Device);
    return Status;
}

// Reads the StatusBlock outside a sequence, at PASSIVE_LEVEL.
NTSTATUS ReadStatusBlock(DeviceContext* Device) {
    AcquireCommandLock(Device);
    const NTSTATUS Status = ReadStatusBlockLocked(Device);
    ReleaseCommandLock(Device);
    return Status;
}
