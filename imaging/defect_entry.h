// One defective pixel position of the defect table, as stored in the defect-table file:
// column then row, both 16-bit little-endian.
#pragma once

#include "platform/types.h"

struct DefectEntry {
    USHORT X;  // column
    USHORT Y;  // row
};
static_assert(sizeof(DefectEntry) == 4, "defect-table file records are 4 bytes");
static_assert(offsetof(DefectEntry, Y) == 2);
