// Floating-point state: the host saves nothing (user mode keeps the state per thread), but the
// IRQL rule of the platform still holds.
#include "host/verifier/verifier.h"

// IRQL <= DISPATCH_LEVEL.
NTSTATUS KeSaveFloatingPointState(PKFLOATING_SAVE FloatSave) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeSaveFloatingPointState");
    RtlZeroMemory(FloatSave, sizeof(*FloatSave));
    return STATUS_SUCCESS;
}

// IRQL <= DISPATCH_LEVEL.
NTSTATUS KeRestoreFloatingPointState(PKFLOATING_SAVE) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeRestoreFloatingPointState");
    return STATUS_SUCCESS;
}
