// IoCompleteRequest: runs the completion routines from the lowest stack location upward, then
// finishes IRPs that the I/O manager built (status to the caller's block, event, free).
#include "platform/io.h"

#include "host/verifier/verifier.h"

namespace {

bool ShouldInvoke(const IO_STACK_LOCATION& stack, const IRP& irp) {
    if (stack.CompletionRoutine == nullptr) return false;
    if (NT_SUCCESS(irp.IoStatus.Status) && (stack.Control & SL_INVOKE_ON_SUCCESS)) return true;
    if (!NT_SUCCESS(irp.IoStatus.Status) && (stack.Control & SL_INVOKE_ON_ERROR)) return true;
    return ReadOnce(irp.Cancel) && (stack.Control & SL_INVOKE_ON_CANCEL);
}

// What the platform clears in a stack location once the IRP has left it; a driver that reuses
// an IRP must fill the next location again before each call.
void ClearStackLocation(PIO_STACK_LOCATION stack) {
    stack->MinorFunction = 0;
    stack->Flags = 0;
    stack->Control &= SL_ERROR_RETURNED;
    stack->Parameters.Others.Argument1 = nullptr;
    stack->Parameters.Others.Argument2 = nullptr;
    stack->Parameters.Others.Argument3 = nullptr;
    stack->FileObject = nullptr;
    stack->CompletionRoutine = nullptr;
    stack->Context = nullptr;
}

// The I/O manager's last step for an IRP from IoBuildDeviceIoControlRequest.
void FinishIoManagerIrp(PIRP Irp) {
    PVOID systemBuffer = Irp->AssociatedIrp.SystemBuffer;
    if (systemBuffer != nullptr) {
        // METHOD_BUFFERED: the output travels back through the system buffer.
        if (Irp->UserBuffer != nullptr && NT_SUCCESS(Irp->IoStatus.Status)) {
            ULONG_PTR length = Irp->IoStatus.Information;
            ULONG_PTR capacity = reinterpret_cast<ULONG_PTR>(Irp->Tail.Overlay.DriverContext[0]);
            RtlCopyMemory(Irp->UserBuffer, systemBuffer, length < capacity ? length : capacity);
        }
        ExFreePool(systemBuffer);
        Irp->AssociatedIrp.SystemBuffer = nullptr;
    }
    if (Irp->UserIosb != nullptr) *Irp->UserIosb = Irp->IoStatus;
    PKEVENT event = Irp->UserEvent;
    IoFreeIrp(Irp);
    if (event != nullptr) KeSetEvent(event, IO_NO_INCREMENT, FALSE);
}

}  // namespace

// The driver that owns the IRP's current stack location, at IRQL <= DISPATCH_LEVEL.
void IofCompleteRequest(PIRP Irp, CCHAR PriorityBoost) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "IoCompleteRequest");
    if (Irp->IoStatus.Status == STATUS_PENDING) {
        host::VerifierFault("IoCompleteRequest with STATUS_PENDING (IRP %p)",
                            static_cast<void*>(Irp));
    }
    if (ReadOnce(Irp->CancelRoutine) != nullptr) {
        host::VerifierFault("IoCompleteRequest of IRP %p with its cancel routine still set",
                            static_cast<void*>(Irp));
    }
    if (Irp->CurrentLocation > Irp->StackCount) {
        host::VerifierFault("IoCompleteRequest of IRP %p that no driver holds",
                            static_cast<void*>(Irp));
    }
    host::VerifierRequestCompleted(Irp, "IoCompleteRequest");

    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    for (IoSkipCurrentIrpStackLocation(Irp); Irp->CurrentLocation <= Irp->StackCount + 1;
         IoSkipCurrentIrpStackLocation(Irp), ++stack) {
        Irp->PendingReturned = stack->Control & SL_PENDING_RETURNED;
        if (ShouldInvoke(*stack, *Irp)) {
            PIO_COMPLETION_ROUTINE routine = stack->CompletionRoutine;
            PVOID context = stack->Context;
            ClearStackLocation(stack);
            PDEVICE_OBJECT device = Irp->CurrentLocation == Irp->StackCount + 1
                                        ? nullptr
                                        : IoGetCurrentIrpStackLocation(Irp)->DeviceObject;
            if (routine(device, Irp, context) == STATUS_MORE_PROCESSING_REQUIRED) return;
        } else {
            if (Irp->PendingReturned && Irp->CurrentLocation <= Irp->StackCount) {
                IoMarkIrpPending(Irp);
            }
            ClearStackLocation(stack);
        }
    }
    // The stack is unwound (the loop stepped one past it): the IRP is back with its allocator.
    IoSetNextIrpStackLocation(Irp);
    if (Irp->AllocationFlags & IRP_BUILT_BY_IO_MANAGER) {
        FinishIoManagerIrp(Irp);
        return;
    }
    host::VerifierFault(
        "IRP %p from IoAllocateIrp reached the I/O manager: its top completion routine must "
        "return STATUS_MORE_PROCESSING_REQUIRED",
        static_cast<void*>(Irp));
}
