// Rtl memory routines.
#include <cstring>

#include "platform/kernel.h"

void RtlZeroMemory(void* Destination, SIZE_T Length) { std::memset(Destination, 0, Length); }

void RtlCopyMemory(void* Destination, const void* Source, SIZE_T Length) {
    if (Length != 0) std::memcpy(Destination, Source, Length);
}

void RtlMoveMemory(void* Destination, const void* Source, SIZE_T Length) {
    if (Length != 0) std::memmove(Destination, Source, Length);
}

void RtlFillMemory(void* Destination, SIZE_T Length, UCHAR Fill) {
    std::memset(Destination, Fill, Length);
}

SIZE_T RtlCompareMemory(const void* Source1, const void* Source2, SIZE_T Length) {
    const auto* a = static_cast<const UCHAR*>(Source1);
    const auto* b = static_cast<const UCHAR*>(Source2);
    SIZE_T equal = 0;
    while (equal < Length && a[equal] == b[equal]) ++equal;
    return equal;
}
