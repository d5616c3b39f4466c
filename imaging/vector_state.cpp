#include "imaging/vector_state.h"

#include "platform/registry.h"

namespace {

typedef NTSTATUS(NTAPI* SAVE_EXTENDED_STATE)(ULONGLONG Mask, PXSTATE_SAVE XStateSave);
typedef VOID(NTAPI* RESTORE_EXTENDED_STATE)(PXSTATE_SAVE XStateSave);

// Found at load; null where the system lacks them. Written only at load, before any frame.
SAVE_EXTENDED_STATE g_SaveExtended = nullptr;
RESTORE_EXTENDED_STATE g_RestoreExtended = nullptr;

PVOID SystemRoutine(const WCHAR* Name) {
    UNICODE_STRING Text;
    RtlInitUnicodeString(&Text, Name);
    return MmGetSystemRoutineAddress(&Text);
}

// The components the bodies of Level touch: the x87 unit (the driver's doubles), the SSE
// registers, and the wider registers' upper parts.
ULONGLONG ExtendedMask(VECTOR_LEVEL Level) {
    ULONGLONG Mask = XSTATE_MASK_LEGACY | XSTATE_MASK_AVX;
    if (Level >= VectorLevelAvx512) Mask |= XSTATE_MASK_AVX512;
    return Mask;
}

}  // namespace

ULONG FindVectorStateSave() {
    const auto Save = reinterpret_cast<SAVE_EXTENDED_STATE>(
        SystemRoutine(WIDE_TEXT("KeSaveExtendedProcessorState")));
    const auto Restore = reinterpret_cast<RESTORE_EXTENDED_STATE>(
        SystemRoutine(WIDE_TEXT("KeRestoreExtendedProcessorState")));
    // Both or neither: a save that cannot be undone is of no use.
    const bool Found = Save != nullptr && Restore != nullptr;
    WriteOnce(g_SaveExtended, Found ? Save : nullptr);
    WriteOnce(g_RestoreExtended, Found ? Restore : nullptr);
    return SavedVectorBits();
}

ULONG SavedVectorBits() {
    return ReadOnce(g_SaveExtended) != nullptr ? VEXACAM_EXTENDED_SAVED_VECTOR_BITS
                                               : VEXACAM_SAVED_VECTOR_BITS;
}

bool NeedsExtendedStateSave(VECTOR_LEVEL Level) { return Level >= VectorLevelAvx2; }

NTSTATUS SaveVectorState(VECTOR_LEVEL Level, VectorStateSave* Save) {
    const SAVE_EXTENDED_STATE SaveExtended = ReadOnce(g_SaveExtended);
    Save->ByExtendedSave = NeedsExtendedStateSave(Level) && SaveExtended != nullptr;
    const NTSTATUS Status = Save->ByExtendedSave
                                ? SaveExtended(ExtendedMask(Level), &Save->Extended)
                                : KeSaveFloatingPointState(&Save->FloatingPoint);
    // The floating-point save sets the precision itself (platform/); the extended one is
    // called through a pointer, past that wrapper.
    if (NT_SUCCESS(Status) && Save->ByExtendedSave) VexacamSetDoublePrecision();
    return Status;
}

VOID RestoreVectorState(VectorStateSave* Save) {
    if (Save->ByExtendedSave) {
        ReadOnce(g_RestoreExtended)(&Save->Extended);
    } else {
        KeRestoreFloatingPointState(&Save->FloatingPoint);
    }
}
