// Lookup tables shared between the property handlers and the frame work item.
//
// The handlers rewrite a table entry by entry, without a lock, while a frame may be using it;
// a frame can then see a mix of old and new entries, which is accepted. Each entry is written
// and read once (WriteOnce / ReadOnce: a plain byte access on the target), and the per-frame
// stages take a private copy of the table before their loops so that the hot loops read
// ordinary memory.
#pragma once

#include "platform/kernel.h"
#include "platform/types.h"

inline VOID StoreTableEntry(PUCHAR Table, ULONG Index, UCHAR Value) { WriteOnce(Table[Index], Value); }

inline UCHAR LoadTableEntry(const UCHAR* Table, ULONG Index) { return ReadOnce(Table[Index]); }

inline VOID SnapshotTable(UCHAR (&Copy)[256], const UCHAR* Table) {
    for (ULONG Index = 0; Index < 256; ++Index) Copy[Index] = LoadTableEntry(Table, Index);
}

// The gamma value the tone table was last built for: written by the property handler and the
// settings load, compared by the next rebuild.
inline double ReadGammaValue(const double* GammaValue) {
    double Value;
    __atomic_load(GammaValue, &Value, __ATOMIC_RELAXED);
    return Value;
}

inline VOID WriteGammaValue(double* GammaValue, double Value) {
    __atomic_store(GammaValue, &Value, __ATOMIC_RELAXED);
}
