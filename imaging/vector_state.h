// The register state the image stages compute in, saved around the frame work.
//
// A kernel routine must save the caller's floating-point and vector registers before it uses
// them. KeSaveFloatingPointState keeps the 128-bit ones only; the wider ones need
// KeSaveExtendedProcessorState, which older systems lack, so the driver looks it up by name at
// load instead of importing it. What the lookup finds caps the vector level the stages run at.
#pragma once

#include "imaging/cpu_features.h"
#include "platform/kernel.h"

// At load, PASSIVE_LEVEL: looks up the extended save and its restore. Returns the widest
// vector registers (in bits) whose contents a save keeps from then on.
ULONG FindVectorStateSave();

// What the last FindVectorStateSave found (128 before the first). Any IRQL.
ULONG SavedVectorBits();

// Whether the registers of Level are saved by the extended save (otherwise by
// KeSaveFloatingPointState).
bool NeedsExtendedStateSave(VECTOR_LEVEL Level);

struct VectorStateSave {
    KFLOATING_SAVE FloatingPoint;
    XSTATE_SAVE Extended;
    bool ByExtendedSave;
};

// Saves what the bodies of Level use; every success is paired with one RestoreVectorState.
// IRQL <= DISPATCH_LEVEL. Fails (nothing saved) when the system cannot save the state.
NTSTATUS SaveVectorState(VECTOR_LEVEL Level, VectorStateSave* Save);
VOID RestoreVectorState(VectorStateSave* Save);
