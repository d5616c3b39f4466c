// Colour separation body for Sse41: four blocks per vector.
#include "imaging/separate_colours_body.h"

ULONG SeparateRowPairSse41(PUCHAR Upper, ULONG Width) {
#if defined(__SSE4_1__)
    return SeparateRowPairBody<4>(Upper, Width);
#else
    return 2;
#endif
}
