// Marks the plain scalar bodies of the vectorised stages.
#pragma once

// The plain scalar bodies are the reference that the vector bodies are checked and measured
// against; keep the compiler from vectorising them behind our back.
#if defined(__GNUC__) && !defined(__clang__)
#define SCALAR_REFERENCE __attribute__((optimize("no-tree-vectorize")))
#else
#define SCALAR_REFERENCE
#endif
