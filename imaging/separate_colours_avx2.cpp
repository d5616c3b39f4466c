// Colour separation body for AVX2.
#include "imaging/separate_colours_body.h"

ULONG SeparateRowPairAvx2(PUCHAR Upper, ULONG Width) {
#if defined(__AVX2__)
    return SeparateRowPairBody<8>(Upper, Width);
#else
    return 2;
#endif
}
