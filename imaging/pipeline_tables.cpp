#include "imaging/pipeline_tables.h"

#include "imaging/gamma_table.h"
#include "platform/kernel.h"

namespace {

constexpr SHORT kNeutralFlatFieldGain = 64;  // a gain of 64 leaves a pixel unchanged
constexpr UCHAR kCountdownAtRest = 9;

PUCHAR AllocateIdentityTable(ULONG Tag) {
    PUCHAR Table = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPool, 256, Tag));
    if (Table != nullptr) {
        for (ULONG Index = 0; Index < 256; ++Index) Table[Index] = static_cast<UCHAR>(Index);
    }
    return Table;
}

SHORT* AllocateNeutralGainMap() {
    SHORT* Map = static_cast<SHORT*>(
        ExAllocatePoolWithTag(NonPagedPool, kGainMapEntries * sizeof(SHORT), kTagGainMap));
    if (Map != nullptr) {
        for (ULONG Index = 0; Index < kGainMapEntries; ++Index) Map[Index] = kNeutralFlatFieldGain;
    }
    return Map;
}

double* AllocateDoubles(ULONG Count, ULONG Tag) {
    return static_cast<double*>(ExAllocatePoolWithTag(NonPagedPool, Count * sizeof(double), Tag));
}

template <typename T>
VOID FreeAndNull(T*& Pointer) {
    if (Pointer != nullptr) ExFreePool(Pointer);
    Pointer = nullptr;
}

}  // namespace

NTSTATUS AllocatePipelineTables(ImagePipeline* Pipeline) {
    Pipeline->CaptureCountdown = kCountdownAtRest;
    Pipeline->GainMap = AllocateNeutralGainMap();
    if (Pipeline->GainMap == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    Pipeline->RedGain = AllocateIdentityTable(kTagRedGain);
    if (Pipeline->RedGain == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    Pipeline->GreenGain = AllocateIdentityTable(kTagGreenGain);
    if (Pipeline->GreenGain == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    Pipeline->BlueGain = AllocateIdentityTable(kTagBlueGain);
    if (Pipeline->BlueGain == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    Pipeline->ToneTable = AllocateIdentityTable(kTagToneTable);
    if (Pipeline->ToneTable == nullptr) return STATUS_INSUFFICIENT_RESOURCES;

    Pipeline->LogTable = AllocateDoubles(LogTableEntries, kTagLogTable);
    if (Pipeline->LogTable == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    Pipeline->GammaTable = AllocateDoubles(GammaTableEntries, kTagGammaTable);
    if (Pipeline->GammaTable == nullptr) return STATUS_INSUFFICIENT_RESOURCES;

    return WithFloatingPointSaved([Pipeline] {
        FillLogTable(Pipeline->LogTable);
        FillGammaTable(Pipeline->GammaTable);
        Pipeline->GammaValue = 1.0;
        Pipeline->Gamma = NeutralGammaIndex;
    });
}

VOID FreePipelineTables(ImagePipeline* Pipeline) {
    FreeAndNull(Pipeline->GainMap);
    FreeAndNull(Pipeline->LogTable);
    FreeAndNull(Pipeline->ToneTable);
    FreeAndNull(Pipeline->GammaTable);
    FreeAndNull(Pipeline->RedGain);
    FreeAndNull(Pipeline->GreenGain);
    FreeAndNull(Pipeline->BlueGain);
}
