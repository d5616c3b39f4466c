// Floating-point state. User mode keeps the registers per thread, so the host has no other
// thread's values to protect; it saves and restores the control settings (x87 control word,
// SSE control and status), which the driver image changes inside the bracket (it sets the x87
// unit to double precision) and the platform gives back to the caller at the restore.
#include "host/verifier/verifier.h"

namespace {

// KFLOATING_SAVE.Reserved: [0] the x87 control word, [1] MXCSR, [2] kSaved while saved.
constexpr ULONG kSaved = 0x56465053;  // "SPFV"

}  // namespace

// IRQL <= DISPATCH_LEVEL.
NTSTATUS KeSaveFloatingPointState(PKFLOATING_SAVE FloatSave) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeSaveFloatingPointState");
    RtlZeroMemory(FloatSave, sizeof(*FloatSave));
#if defined(__i386__) || defined(__x86_64__)
    unsigned short control = 0;
    unsigned int sse = 0;
    __asm__ volatile("fnstcw %0" : "=m"(control));
    __asm__ volatile("stmxcsr %0" : "=m"(sse));
    FloatSave->Reserved[0] = control;
    FloatSave->Reserved[1] = sse;
#endif
    FloatSave->Reserved[2] = kSaved;
    return STATUS_SUCCESS;
}

// IRQL <= DISPATCH_LEVEL.
NTSTATUS KeRestoreFloatingPointState(PKFLOATING_SAVE FloatSave) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeRestoreFloatingPointState");
    if (FloatSave->Reserved[2] != kSaved) {
        host::VerifierFault("KeRestoreFloatingPointState of a state that was not saved");
    }
#if defined(__i386__) || defined(__x86_64__)
    const unsigned short control = static_cast<unsigned short>(FloatSave->Reserved[0]);
    const unsigned int sse = FloatSave->Reserved[1];
    __asm__ volatile("fldcw %0" : : "m"(control));
    __asm__ volatile("ldmxcsr %0" : : "m"(sse));
#endif
    FloatSave->Reserved[2] = 0;
    return STATUS_SUCCESS;
}
