// Kernel build: the kernel executive as the platform's headers declare it (wdm.h), plus the
// calling-convention and section macros the driver puts on what the kernel calls.
#pragma once

#include "platform/win32/types.h"

// Every register width that KeSaveFloatingPointState preserves on a 32-bit kernel: x87 and
// the 128-bit SSE registers. The upper halves of 256- and 512-bit registers are not saved, so
// the image stages stop at SSE2 on this target.
#define VEXACAM_SAVED_VECTOR_BITS 128

// The 32-bit build computes its doubles on the x87 unit (the SSE registers are reserved for the
// vectorised stages). Once the caller's state is saved the unit is set to round every result to
// double precision, so the arithmetic gives the same doubles as the host's SSE2 build. The
// driver keeps calling the platform's name; the saved state brings the caller's setting back.
inline NTSTATUS VexacamSaveFloatingPointState(PKFLOATING_SAVE FloatSave) {
    const NTSTATUS Status = KeSaveFloatingPointState(FloatSave);
    if (NT_SUCCESS(Status)) {
        // Exceptions masked, 53-bit precision, round to nearest.
        const unsigned short DoublePrecisionControl = 0x027F;
        __asm__ volatile("fldcw %0" : : "m"(DoublePrecisionControl));
    }
    return Status;
}
#define KeSaveFloatingPointState VexacamSaveFloatingPointState

// Waiting on a handle is declared with the file system's records, which the driver does not
// include; ntoskrnl.exe exports it.
extern "C" NTSYSAPI NTSTATUS NTAPI ZwWaitForSingleObject(HANDLE Handle, BOOLEAN Alertable,
                                                         PLARGE_INTEGER Timeout);
