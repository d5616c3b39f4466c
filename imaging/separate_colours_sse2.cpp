// Colour separation body for SSE2: four blocks per vector, the 32-bit products and the selects
// emulated.
#include "imaging/separate_colours_body.h"

ULONG SeparateRowPairSse2(PUCHAR Upper, ULONG Width) {
#if defined(__SSE2__)
    return SeparateRowPairBody<4>(Upper, Width);
#else
    return 2;
#endif
}
