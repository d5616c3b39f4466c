// The frame sequence's lookup tables and gain map, allocated once at their largest size (at
// device initialization, or when offline processing starts) and freed at the end.
#pragma once

#include "imaging/image_pipeline.h"
#include "platform/kernel.h"

// Pool tags of the tables, so that a leak report names them.
constexpr ULONG kTagGainMap = MakePoolTag("VxGm");
constexpr ULONG kTagRedGain = MakePoolTag("VxGr");
constexpr ULONG kTagGreenGain = MakePoolTag("VxGg");
constexpr ULONG kTagBlueGain = MakePoolTag("VxGb");
constexpr ULONG kTagToneTable = MakePoolTag("VxTt");
constexpr ULONG kTagLogTable = MakePoolTag("VxLt");
constexpr ULONG kTagGammaTable = MakePoolTag("VxGt");

// Allocates GainMap (every entry 64), the identity RedGain/GreenGain/BlueGain and ToneTable,
// LogTable and GammaTable, and sets GammaValue 1.0, Gamma 16 and CaptureCountdown 9 (at
// rest). Returns STATUS_INSUFFICIENT_RESOURCES at the first failed allocation, or the status
// of a floating-point save that failed; what was built stays in the record for
// FreePipelineTables. PASSIVE_LEVEL.
NTSTATUS AllocatePipelineTables(ImagePipeline* Pipeline);

// Frees every table that is allocated and nulls its pointer. Safe on a partly built set.
VOID FreePipelineTables(ImagePipeline* Pipeline);
