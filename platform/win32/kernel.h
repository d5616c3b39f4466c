// Kernel build: the kernel executive as the platform's headers declare it (wdm.h), plus the
// calling-convention and section macros the driver puts on what the kernel calls.
#pragma once

#include "platform/win32/types.h"

// Every register width that KeSaveFloatingPointState preserves on a 32-bit kernel: x87 and
// the 128-bit SSE registers. The upper halves of 256- and 512-bit registers are kept only by
// KeSaveExtendedProcessorState, which the driver looks up at load.
#define VEXACAM_SAVED_VECTOR_BITS 128
// Where that save exists the driver asks it for the AVX registers, not the AVX-512 ones: the
// 512-bit bodies have never run in a 32-bit build (no emulator here executes them), so the
// image stops at AVX2.
#define VEXACAM_EXTENDED_SAVED_VECTOR_BITS 256

// The processor state components KeSaveExtendedProcessorState takes in its mask (the bits of
// XCR0). The platform's driver headers spell the legacy ones with a suffix GCC does not take
// (1i64) and leave out the AVX ones, so they are given here under the platform's names.
#undef XSTATE_MASK_LEGACY_FLOATING_POINT
#undef XSTATE_MASK_LEGACY_SSE
#undef XSTATE_MASK_LEGACY
#define XSTATE_MASK_LEGACY_FLOATING_POINT (1ULL << 0)
#define XSTATE_MASK_LEGACY_SSE (1ULL << 1)
#define XSTATE_MASK_LEGACY (XSTATE_MASK_LEGACY_FLOATING_POINT | XSTATE_MASK_LEGACY_SSE)
#ifndef XSTATE_MASK_AVX
#define XSTATE_MASK_AVX (1ULL << 2)
#endif
#ifndef XSTATE_MASK_AVX512
#define XSTATE_MASK_AVX512 ((1ULL << 5) | (1ULL << 6) | (1ULL << 7))
#endif

// The 32-bit build computes its doubles on the x87 unit (the SSE registers are reserved for the
// vectorised stages). Once the caller's state is saved the unit is set to round every result to
// double precision, so the arithmetic gives the same doubles as the host's SSE2 build. The
// saved state brings the caller's setting back.
inline void VexacamSetDoublePrecision() {
    // Exceptions masked, 53-bit precision, round to nearest.
    const unsigned short DoublePrecisionControl = 0x027F;
    __asm__ volatile("fldcw %0" : : "m"(DoublePrecisionControl));
}

// The driver keeps calling the platform's name.
inline NTSTATUS VexacamSaveFloatingPointState(PKFLOATING_SAVE FloatSave) {
    const NTSTATUS Status = KeSaveFloatingPointState(FloatSave);
    if (NT_SUCCESS(Status)) VexacamSetDoublePrecision();
    return Status;
}
#define KeSaveFloatingPointState VexacamSaveFloatingPointState

// Waiting on a handle is declared with the file system's records, which the driver does not
// include; ntoskrnl.exe exports it.
extern "C" NTSYSAPI NTSTATUS NTAPI ZwWaitForSingleObject(HANDLE Handle, BOOLEAN Alertable,
                                                         PLARGE_INTEGER Timeout);
