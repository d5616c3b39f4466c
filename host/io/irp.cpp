// IRP allocation, initialisation and IoCallDriver: the I/O manager's side of a request packet.
#include "platform/io.h"

#include "host/verifier/verifier.h"

namespace {

// 'Irp ' in memory order, the platform's own tag for request packets.
constexpr ULONG kIrpTag = 'I' | ('r' << 8) | ('p' << 16) | (' ' << 24);

PIO_STACK_LOCATION FirstStackLocation(PIRP Irp) {
    return reinterpret_cast<PIO_STACK_LOCATION>(Irp + 1);
}

}  // namespace

// Any caller at IRQL <= DISPATCH_LEVEL.
PIRP IoAllocateIrp(CCHAR StackSize, BOOLEAN ChargeQuota) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "IoAllocateIrp");
    if (StackSize < 1) host::VerifierFault("IoAllocateIrp with stack size %d", StackSize);
    USHORT size = IoSizeOfIrp(StackSize);
    PIRP irp = static_cast<PIRP>(ExAllocatePoolWithTag(NonPagedPool, size, kIrpTag));
    if (irp == nullptr) return nullptr;
    IoInitializeIrp(irp, size, StackSize);
    irp->AllocationFlags = IRP_ALLOCATED_FIXED_SIZE;
    return irp;
}

void IoInitializeIrp(PIRP Irp, USHORT PacketSize, CCHAR StackSize) {
    RtlZeroMemory(Irp, PacketSize);
    Irp->Type = IO_TYPE_IRP;
    Irp->Size = PacketSize;
    Irp->StackCount = StackSize;
    Irp->CurrentLocation = static_cast<CCHAR>(StackSize + 1);
    Irp->Tail.Overlay.CurrentStackLocation = FirstStackLocation(Irp) + StackSize;
}

void IoReuseIrp(PIRP Irp, NTSTATUS Status) {
    UCHAR flags = Irp->AllocationFlags;
    IoInitializeIrp(Irp, Irp->Size, Irp->StackCount);
    Irp->AllocationFlags = flags;
    Irp->IoStatus.Status = Status;
}

// Any caller at IRQL <= DISPATCH_LEVEL; the IRP must be back with its owner.
void IoFreeIrp(PIRP Irp) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "IoFreeIrp");
    if (Irp->CurrentLocation != Irp->StackCount + 1) {
        host::VerifierFault("IoFreeIrp of an IRP still owned by a lower driver (%p)",
                            static_cast<void*>(Irp));
    }
    host::VerifierForgetRequest(Irp);
    ExFreePool(Irp);
}

// Any caller at IRQL <= DISPATCH_LEVEL: hands the IRP to DeviceObject's dispatch routine for the
// major function of the next stack location.
NTSTATUS IofCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "IoCallDriver");
    if (Irp->CurrentLocation <= 1) {
        host::VerifierFault("IoCallDriver: IRP %p has no stack location left for the lower driver",
                            static_cast<void*>(Irp));
    }
    IoSetNextIrpStackLocation(Irp);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    stack->DeviceObject = DeviceObject;
    if (stack->MajorFunction > IRP_MJ_MAXIMUM_FUNCTION) {
        host::VerifierFault("IoCallDriver: bad major function %u", stack->MajorFunction);
    }
    PDRIVER_DISPATCH dispatch = DeviceObject->DriverObject->MajorFunction[stack->MajorFunction];
    if (dispatch == nullptr) {
        host::VerifierFault("IoCallDriver: no dispatch routine for major function %u",
                            stack->MajorFunction);
    }
    host::VerifierRequestStarted(Irp);
    return dispatch(DeviceObject, Irp);
}
