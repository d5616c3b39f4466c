// The frame sequence's tables and the little state it keeps between frames. The device holds
// one record, allocated once at its largest size (imaging/pipeline_tables.h); offline
// processing and the benchmarks allocate their own.
//
// Property requests and the settings load rewrite the gain and tone tables entry by entry
// while a frame may be using them (imaging/table_access.h); the calibration tables are loaded
// only while no frame is processed, and rewritten by the captures inside the sequence.
#pragma once

#include "imaging/defect_entry.h"
#include "platform/types.h"

constexpr ULONG kGainTableEntries = 256;   // RedGain, GreenGain, BlueGain
constexpr ULONG kToneTableEntries = 256;
constexpr ULONG kDefectTableEntries = 100000;
// One flat-field gain per byte of the largest raw frame: 2048 x 1536 + 4096.
constexpr ULONG kGainMapEntries = 3149824;

struct ImagePipeline {
    DefectEntry DefectTable[kDefectTableEntries];  // frame coordinates of defective pixels
    ULONG DefectCount;        // valid leading entries
    UCHAR CaptureCountdown;   // frames of the defect capture still to go; 9 at rest
    ULONG SavedExposal;       // exposure in force before the defect capture raised it
    PUCHAR RedGain;           // kGainTableEntries each
    PUCHAR GreenGain;
    PUCHAR BlueGain;
    SHORT* GainMap;           // kGainMapEntries, raw-frame order, 64 = x1
    double* LogTable;         // LogTableEntries: log10 of each level
    PUCHAR ToneTable;         // kToneTableEntries
    // 8-aligned as the kernel build lays it out; a 32-bit Linux build would give it 4, and the
    // tests that read a loaded image's device extension use this record's offsets.
    alignas(8) double GammaValue;  // gamma of the current ToneTable; 1.0 leaves frames untouched
    LONG Gamma;               // index into GammaTable of the gamma chosen
    double* GammaTable;       // GammaTableEntries
};
