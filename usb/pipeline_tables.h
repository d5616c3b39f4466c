// The image pipeline's lookup tables and gain map, allocated once at device initialization at
// their largest size and freed at uninitialization.
#pragma once

#include "platform/types.h"

struct DeviceContext;

// Allocates GainMap (every entry 64), the identity RedGain/GreenGain/BlueGain and ToneTable,
// LogTable and GammaTable, and sets GammaValue 1.0 and Gamma 16. Returns
// STATUS_INSUFFICIENT_RESOURCES at the first failed allocation; what was built stays in the
// record for FreePipelineTables. PASSIVE_LEVEL.
NTSTATUS AllocatePipelineTables(DeviceContext* Device);

// Frees every table that is allocated and nulls its pointer. Safe on a partly built set.
VOID FreePipelineTables(DeviceContext* Device);
