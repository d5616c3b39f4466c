// Floating-point and extended processor state. User mode keeps the registers per thread, so the
// host has no other thread's values to protect; it saves and restores the control settings (x87
// control word, SSE control and status), which the driver image changes inside the bracket (it
// sets the x87 unit to double precision) and the platform gives back to the caller at the
// restore. It counts every save and restore for the tests (host/kernel/processor_state.h).
#include <atomic>

#include "host/kernel/processor_state.h"
#include "host/verifier/verifier.h"

namespace {

// [0] the x87 control word, [1] MXCSR, [2] kSaved while saved: KFLOATING_SAVE.Reserved and
// XSTATE_SAVE.Reserved2 alike.
constexpr ULONG kSaved = 0x56465053;  // "SPFV"

std::atomic<bool> g_ExtendedOffered{true};
std::atomic<uint32_t> g_FloatingPointSaves{0};
std::atomic<uint32_t> g_FloatingPointRestores{0};
std::atomic<uint32_t> g_ExtendedSaves{0};
std::atomic<uint32_t> g_ExtendedRestores{0};
std::atomic<uint64_t> g_LastExtendedMask{0};

void SaveControls(ULONG* words) {
#if defined(__i386__) || defined(__x86_64__)
    unsigned short control = 0;
    unsigned int sse = 0;
    __asm__ volatile("fnstcw %0" : "=m"(control));
    __asm__ volatile("stmxcsr %0" : "=m"(sse));
    words[0] = control;
    words[1] = sse;
#endif
    words[2] = kSaved;
}

void RestoreControls(ULONG* words, const char* service) {
    if (words[2] != kSaved) host::VerifierFault("%s of a state that was not saved", service);
#if defined(__i386__) || defined(__x86_64__)
    const unsigned short control = static_cast<unsigned short>(words[0]);
    const unsigned int sse = words[1];
    __asm__ volatile("fldcw %0" : : "m"(control));
    __asm__ volatile("ldmxcsr %0" : : "m"(sse));
#endif
    words[2] = 0;
}

}  // namespace

// IRQL <= DISPATCH_LEVEL.
NTSTATUS KeSaveFloatingPointState(PKFLOATING_SAVE FloatSave) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeSaveFloatingPointState");
    RtlZeroMemory(FloatSave, sizeof(*FloatSave));
    SaveControls(FloatSave->Reserved);
    ++g_FloatingPointSaves;
    return STATUS_SUCCESS;
}

// IRQL <= DISPATCH_LEVEL.
NTSTATUS KeRestoreFloatingPointState(PKFLOATING_SAVE FloatSave) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeRestoreFloatingPointState");
    RestoreControls(FloatSave->Reserved, "KeRestoreFloatingPointState");
    ++g_FloatingPointRestores;
    return STATUS_SUCCESS;
}

// IRQL <= DISPATCH_LEVEL. Reachable only where offered (MmGetSystemRoutineAddress, the loader).
NTSTATUS KeSaveExtendedProcessorState(ULONGLONG Mask, PXSTATE_SAVE XStateSave) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeSaveExtendedProcessorState");
    RtlZeroMemory(XStateSave, sizeof(*XStateSave));
    XStateSave->Reserved1 = Mask;
    SaveControls(XStateSave->Reserved2);
    g_LastExtendedMask = Mask;
    ++g_ExtendedSaves;
    return STATUS_SUCCESS;
}

// IRQL <= DISPATCH_LEVEL.
VOID KeRestoreExtendedProcessorState(PXSTATE_SAVE XStateSave) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeRestoreExtendedProcessorState");
    RestoreControls(XStateSave->Reserved2, "KeRestoreExtendedProcessorState");
    ++g_ExtendedRestores;
}

namespace host {

void OfferExtendedStateSave(bool offered) { g_ExtendedOffered = offered; }
bool ExtendedStateSaveOffered() { return g_ExtendedOffered; }

ProcessorStateSaves ProcessorStateSaveCounts() {
    return {g_FloatingPointSaves, g_FloatingPointRestores, g_ExtendedSaves, g_ExtendedRestores,
            g_LastExtendedMask};
}

void ClearProcessorStateSaves() {
    g_FloatingPointSaves = 0;
    g_FloatingPointRestores = 0;
    g_ExtendedSaves = 0;
    g_ExtendedRestores = 0;
    g_LastExtendedMask = 0;
}

namespace detail {
void ResetProcessorState() {
    g_ExtendedOffered = true;
    ClearProcessorStateSaves();
}
}  // namespace detail

}  // namespace host
