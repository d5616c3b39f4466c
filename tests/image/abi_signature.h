// One 32-bit word describing how a routine is called on 32-bit x86: its calling convention,
// the number of its arguments, the bytes they take on the stack and the size of its result.
// Computed from a function or function-pointer type, so that the same expression evaluated
// with the platform's headers and with the host's gives comparable words.
#pragma once

enum AbiConvention : unsigned { AbiCdecl = 0, AbiStdcall = 1, AbiFastcall = 2, AbiVariadic = 3 };

template <typename R> struct AbiResultSize { static constexpr unsigned Value = sizeof(R); };
template <> struct AbiResultSize<void> { static constexpr unsigned Value = 0; };

// Every argument takes a whole number of 4-byte stack slots.
template <typename... A> struct AbiArgumentBytes {
    static constexpr unsigned Value = (0u + ... + ((sizeof(A) + 3u) / 4u * 4u));
};

constexpr unsigned AbiWord(AbiConvention Convention, unsigned Count, unsigned Bytes,
                           unsigned Result) {
    return unsigned{Convention} << 28 | Count << 20 | Bytes << 8 | Result;
}

// Ends the table of words, which the object file may pad.
constexpr unsigned kAbiTableEnd = 0xAB1E0E0Du;

template <typename T> struct AbiSignature;
// The C library declares its routines noexcept; that changes nothing of the call.
template <typename R, typename... A> struct AbiSignature<R (*)(A...) noexcept>
    : AbiSignature<R (*)(A...)> {};
template <typename R, typename... A> struct AbiSignature<R (*)(A...)> {
    static constexpr unsigned Value = AbiWord(AbiCdecl, sizeof...(A),
                                              AbiArgumentBytes<A...>::Value,
                                              AbiResultSize<R>::Value);
};
template <typename R, typename... A> struct AbiSignature<R (*)(A..., ...)> {
    static constexpr unsigned Value = AbiWord(AbiVariadic, sizeof...(A),
                                              AbiArgumentBytes<A...>::Value,
                                              AbiResultSize<R>::Value);
};
#if defined(__i386__)
template <typename R, typename... A> struct AbiSignature<R(__attribute__((stdcall)) *)(A...)> {
    static constexpr unsigned Value = AbiWord(AbiStdcall, sizeof...(A),
                                              AbiArgumentBytes<A...>::Value,
                                              AbiResultSize<R>::Value);
};
template <typename R, typename... A> struct AbiSignature<R(__attribute__((fastcall)) *)(A...)> {
    static constexpr unsigned Value = AbiWord(AbiFastcall, sizeof...(A),
                                              AbiArgumentBytes<A...>::Value,
                                              AbiResultSize<R>::Value);
};
#endif
