// Colour separation body for SSSE3: four blocks per vector, as at SSE2.
#include "imaging/separate_colours_body.h"

ULONG SeparateRowPairSsse3(PUCHAR Upper, ULONG Width) {
#if defined(__SSSE3__)
    return SeparateRowPairBody<4>(Upper, Width);
#else
    return 2;
#endif
}
