// Kernel build: the one C library routine the driver needs that the 32-bit kernel does not
// export (log10, for the tone table's logarithm table). It is computed on the FPU as
// log10(2) * log2(x) with fldlg2 and fyl2x in 80-bit precision, then rounded once to double,
// which for the table's arguments gives the correctly rounded value a C library returns.
// Callers run with the floating-point state saved, as every floating-point use in the driver.
// Self-contained so that a host test can compare it with the C library.
#pragma once

inline double X87Log10(double Value) {
    long double Result;
    __asm__("fldlg2\n\t"
            "fxch %%st(1)\n\t"
            "fyl2x"
            : "=t"(Result)
            : "0"(static_cast<long double>(Value))
            : "st(1)");
    return static_cast<double>(Result);
}
