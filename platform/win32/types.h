// Kernel build: basic types, status codes and GUIDs from the platform's published driver
// headers, plus the few spellings the driver uses that those headers lack.
#pragma once

// The 32-bit headers declare these two both as compiler intrinsics and again in wdm.h; keep
// the intrinsic header's copy out so the two definitions do not collide.
#ifndef __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#endif
#ifndef __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#endif

#include <ntddk.h>
#include <wdm.h>
// ksmedia.h and strmini.h spell their records with the Windows base types (DWORD, RECT, SIZE).
#include <windef.h>

static_assert(sizeof(void*) == 4, "the kernel build is the 32-bit x86 driver");
static_assert(sizeof(WCHAR) == 2 && sizeof(LONG) == 4 && sizeof(ULONG_PTR) == 4);
static_assert(sizeof(GUID) == 16, "GUID layout");

// Status codes the driver names that the 32-bit headers leave out.
#ifndef STATUS_NO_DATA_DETECTED
#define STATUS_NO_DATA_DETECTED ((NTSTATUS)0x80000022L)
#endif
