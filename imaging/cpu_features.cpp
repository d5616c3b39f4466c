// CPU feature detection for the vectorised image stages.
#include "imaging/cpu_features.h"

#include "imaging/vector_state.h"
#include "platform/kernel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

// -1 until decided. Written at load, or by whichever context asks first in a program that
// loads no driver; racing writers store the same value.
LONG g_DetectedLevel = -1;

#if defined(__x86_64__) || defined(__i386__)

bool HasBit(unsigned Register, unsigned Bit) { return (Register >> Bit) & 1u; }

// XCR0: which register files the OS saves on a context switch.
unsigned long long ReadXcr0() {
    unsigned Low, High;
    __asm__ volatile("xgetbv" : "=a"(Low), "=d"(High) : "c"(0));
    return (static_cast<unsigned long long>(High) << 32) | Low;
}

VECTOR_LEVEL AskCpu() {
    unsigned Eax, Ebx, Ecx, Edx;
    if (!__get_cpuid(1, &Eax, &Ebx, &Ecx, &Edx) || !HasBit(Edx, 26)) return VectorLevelScalar;
    const unsigned Leaf1Ecx = Ecx;
    if (!HasBit(Leaf1Ecx, 9)) return VectorLevelSse2;
    if (!HasBit(Leaf1Ecx, 19)) return VectorLevelSsse3;
    const bool OsSavesYmm = HasBit(Leaf1Ecx, 27) && (ReadXcr0() & 0x6) == 0x6;
    if (!OsSavesYmm || !HasBit(Leaf1Ecx, 12) || !HasBit(Leaf1Ecx, 28)) return VectorLevelSse41;
    if (!__get_cpuid_count(7, 0, &Eax, &Ebx, &Ecx, &Edx)) return VectorLevelSse41;
    const bool Avx2 = HasBit(Ebx, 5) && HasBit(Ebx, 3) && HasBit(Ebx, 8);
    if (!Avx2) return VectorLevelSse41;
    const bool OsSavesZmm = (ReadXcr0() & 0xE6) == 0xE6;
    const bool Avx512 = HasBit(Ebx, 16) && HasBit(Ebx, 17) && HasBit(Ebx, 30) &&
                        HasBit(Ebx, 31) && HasBit(Ecx, 1);
    return (OsSavesZmm && Avx512) ? VectorLevelAvx512 : VectorLevelAvx2;
}

#else

VECTOR_LEVEL AskCpu() { return VectorLevelScalar; }

#endif

// The widest level whose registers a save of Bits keeps.
VECTOR_LEVEL WidestLevelSaved(ULONG Bits) {
    if (Bits >= 512) return VectorLevelAvx512;
    if (Bits >= 256) return VectorLevelAvx2;
    return VectorLevelSse41;
}

}  // namespace

VECTOR_LEVEL DetectVectorLevel() {
    const VECTOR_LEVEL Offered = AskCpu();
    const VECTOR_LEVEL Saved = WidestLevelSaved(FindVectorStateSave());
    const VECTOR_LEVEL Level = Offered < Saved ? Offered : Saved;
    WriteOnce(g_DetectedLevel, static_cast<LONG>(Level));
    return Level;
}

VECTOR_LEVEL DetectedVectorLevel() {
    const LONG Level = ReadOnce(g_DetectedLevel);
    return Level < 0 ? DetectVectorLevel() : static_cast<VECTOR_LEVEL>(Level);
}

const char* VectorLevelName(VECTOR_LEVEL Level) {
    switch (Level) {
        case VectorLevelScalar: return "scalar";
        case VectorLevelSse2: return "sse2";
        case VectorLevelSsse3: return "ssse3";
        case VectorLevelSse41: return "sse41";
        case VectorLevelAvx2: return "avx2";
        case VectorLevelAvx512: return "avx512";
    }
    return "unknown";
}
