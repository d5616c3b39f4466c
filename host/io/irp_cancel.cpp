// IRP cancellation: the cancel spin lock, cancel routines and IoCancelIrp.
#include "platform/io.h"

#include "host/verifier/verifier.h"

namespace {

KSPIN_LOCK& CancelSpinLock() {
    static KSPIN_LOCK lock = 0;
    return lock;
}

}  // namespace

void IoAcquireCancelSpinLock(PKIRQL Irql) { KeAcquireSpinLock(&CancelSpinLock(), Irql); }

void IoReleaseCancelSpinLock(KIRQL Irql) { KeReleaseSpinLock(&CancelSpinLock(), Irql); }

PDRIVER_CANCEL IoSetCancelRoutine(PIRP Irp, PDRIVER_CANCEL CancelRoutine) {
    return reinterpret_cast<PDRIVER_CANCEL>(InterlockedExchangePointer(
        reinterpret_cast<PVOID volatile*>(&Irp->CancelRoutine),
        reinterpret_cast<PVOID>(CancelRoutine)));
}

// Any caller at IRQL <= DISPATCH_LEVEL. The cancel routine releases the cancel spin lock.
BOOLEAN IoCancelIrp(PIRP Irp) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "IoCancelIrp");
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    WriteOnce(Irp->Cancel, static_cast<BOOLEAN>(TRUE));
    PDRIVER_CANCEL routine = IoSetCancelRoutine(Irp, nullptr);
    if (routine == nullptr) {
        IoReleaseCancelSpinLock(irql);
        return FALSE;
    }
    Irp->CancelIrql = irql;
    routine(IoGetCurrentIrpStackLocation(Irp)->DeviceObject, Irp);
    return TRUE;
}
