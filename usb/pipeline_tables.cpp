#include "usb/pipeline_tables.h"

#include "driver/device_context.h"
#include "imaging/gamma_table.h"
#include "platform/kernel.h"
#include "usb/pool_tags.h"

namespace {

constexpr SHORT kNeutralFlatFieldGain = 64;  // a gain of 64 leaves a pixel unchanged

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

NTSTATUS AllocatePipelineTables(DeviceContext* Device) {
    static_assert(kGammaTableEntries == GammaTableEntries);
    static_assert(kLogTableEntries == LogTableEntries);

    Device->GainMap = AllocateNeutralGainMap();
    if (Device->GainMap == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    Device->RedGain = AllocateIdentityTable(kTagRedGain);
    if (Device->RedGain == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    Device->GreenGain = AllocateIdentityTable(kTagGreenGain);
    if (Device->GreenGain == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    Device->BlueGain = AllocateIdentityTable(kTagBlueGain);
    if (Device->BlueGain == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    Device->ToneTable = AllocateIdentityTable(kTagToneTable);
    if (Device->ToneTable == nullptr) return STATUS_INSUFFICIENT_RESOURCES;

    Device->LogTable = AllocateDoubles(kLogTableEntries, kTagLogTable);
    if (Device->LogTable == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    Device->GammaTable = AllocateDoubles(kGammaTableEntries, kTagGammaTable);
    if (Device->GammaTable == nullptr) return STATUS_INSUFFICIENT_RESOURCES;

    return WithFloatingPointSaved([Device] {
        FillLogTable(Device->LogTable);
        FillGammaTable(Device->GammaTable);
        Device->GammaValue = 1.0;
        Device->Gamma = NeutralGammaIndex;
    });
}

VOID FreePipelineTables(DeviceContext* Device) {
    FreeAndNull(Device->GainMap);
    FreeAndNull(Device->LogTable);
    FreeAndNull(Device->ToneTable);
    FreeAndNull(Device->GammaTable);
    FreeAndNull(Device->RedGain);
    FreeAndNull(Device->GreenGain);
    FreeAndNull(Device->BlueGain);
}
