// LoadCalibration: both tables from the files named for the new frame width.
#include "controls/calibration.h"
#include "controls/calibration_io.h"

namespace {

constexpr SHORT kUnityGain = 64;
constexpr ULONG kDefectFileBytesMax = kDefectTableEntries * sizeof(DefectEntry);  // 400,000

// Entries of the GainMap a frame of this size uses, never more than the map holds.
ULONG GainMapEntriesFor(ULONG Width, ULONG Height) {
    const ULONGLONG Pixels = static_cast<ULONGLONG>(Width) * Height;
    return Pixels < kGainMapEntries ? static_cast<ULONG>(Pixels) : kGainMapEntries;
}

// A short file fills only the leading entries and a failed read changes nothing: the rest
// keep their previous gains.
VOID LoadGainMap(DeviceContext* Device, ULONG Width, ULONG Height) {
    const ULONG Entries = GainMapEntriesFor(Width, Height);
    HANDLE File;
    if (!OpenCalibrationForReading(GainMapFileName(Width, FALSE), &File)) {
        for (ULONG Index = 0; Index < Entries; ++Index) Device->GainMap[Index] = kUnityGain;
        return;
    }
    ULONG BytesRead;
    ReadCalibration(File, Device->GainMap, Entries * sizeof(SHORT), &BytesRead);
    ZwClose(File);
}

// An empty or unreadable file keeps the table in effect; a partial trailing record is ignored.
VOID LoadDefectTable(DeviceContext* Device, ULONG Width) {
    HANDLE File;
    if (!OpenCalibrationForReading(DefectTableFileName(Width, FALSE), &File)) {
        WriteOnce(Device->DefectCount, 0u);
        return;
    }
    ULONG BytesRead;
    if (ReadCalibration(File, Device->DefectTable, kDefectFileBytesMax, &BytesRead)) {
        WriteOnce(Device->DefectCount, BytesRead / static_cast<ULONG>(sizeof(DefectEntry)));
    }
    ZwClose(File);
}

}  // namespace

VOID LoadCalibration(DeviceContext* Device, ULONG Width, ULONG Height) {
    LoadGainMap(Device, Width, Height);
    LoadDefectTable(Device, Width);
}
