// Kernel build: the one C library routine the driver needs that the 32-bit kernel does not
// export (log10, for the tone table's logarithm table). It follows the classic decomposition
// the host's C library uses, x = 2^k * m, log10(x) = k * log10(2) + log10(e) * ln(m), with
// log10(2) split in two parts, so that both builds get the same doubles (the host library is
// not correctly rounded, and a correctly rounded value would change a tone table). ln(m) comes
// from the FPU (fldln2, fyl2x) in 80-bit precision, rounded once to double. Callers run with
// the floating-point state saved and the unit at double precision, as every floating-point use
// in the kernel driver. Self-contained so that a host test can compare it with the C library.
#pragma once

// ln(Value) for a positive, finite Value, rounded once from 80 bits to double.
inline double X87NaturalLog(double Value) {
    long double Result;
    __asm__("fldln2\n\t"
            "fxch %%st(1)\n\t"
            "fyl2x"
            : "=t"(Result)
            : "0"(static_cast<long double>(Value))
            : "st(1)");
    return static_cast<double>(Result);
}

// log10(Value) for a positive, finite, normal Value.
inline double X87Log10(double Value) {
    const double InverseLn10 = 4.34294481903251816668e-01;
    const double Log10Of2High = 3.01029995663611771306e-01;
    const double Log10Of2Low = 3.69423907715893078616e-13;
    unsigned long long Bits;
    __builtin_memcpy(&Bits, &Value, sizeof(Bits));
    int Exponent = static_cast<int>((Bits >> 52) & 0x7FF) - 1023;
    // Below 1 the mantissa is taken in [0.5, 1) so that k * log10(2) carries the sign.
    const int Below = Exponent < 0 ? 1 : 0;
    Bits = (Bits & 0x000FFFFFFFFFFFFFull) | (static_cast<unsigned long long>(0x3FF - Below) << 52);
    double Mantissa;
    __builtin_memcpy(&Mantissa, &Bits, sizeof(Mantissa));
    const double Power = static_cast<double>(Exponent + Below);
    const double Partial = Power * Log10Of2Low + InverseLn10 * X87NaturalLog(Mantissa);
    return Partial + Power * Log10Of2High;
}
