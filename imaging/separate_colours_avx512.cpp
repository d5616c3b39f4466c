// Colour separation body for AVX512.
#include "imaging/separate_colours_body.h"

ULONG SeparateRowPairAvx512(PUCHAR Upper, ULONG Width) {
#if defined(__AVX512F__)
    return SeparateRowPairBody<16>(Upper, Width);
#else
    return 2;
#endif
}
