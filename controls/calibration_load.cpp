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

// Unity in the first entry, then the filled part copied onto the next, doubling each time:
// about twenty block copies for three million entries instead of one store apiece, which the
// checked builds instrument store by store.
VOID FillUnityGains(SHORT* Gains, ULONG Entries) {
    if (Entries == 0) return;
    Gains[0] = kUnityGain;
    for (ULONG Filled = 1; Filled < Entries; Filled *= 2) {
        const ULONG Count = Entries - Filled < Filled ? Entries - Filled : Filled;
        RtlCopyMemory(Gains + Filled, Gains, Count * sizeof(SHORT));
    }
}

// A short file fills only the leading entries and a failed read changes nothing: the rest
// keep their previous gains.
VOID LoadGainMap(DeviceContext* Device, ULONG Width, ULONG Height) {
    const ULONG Entries = GainMapEntriesFor(Width, Height);
    HANDLE File;
    if (!OpenCalibrationForReading(GainMapFileName(Width, FALSE), &File)) {
        FillUnityGains(Device->Pipeline.GainMap, Entries);
        return;
    }
    ULONG BytesRead;
    ReadCalibration(File, Device->Pipeline.GainMap, Entries * sizeof(SHORT), &BytesRead);
    ZwClose(File);
}

// An empty or unreadable file keeps the table in effect; a partial trailing record is ignored.
VOID LoadDefectTable(DeviceContext* Device, ULONG Width) {
    HANDLE File;
    if (!OpenCalibrationForReading(DefectTableFileName(Width, FALSE), &File)) {
        WriteOnce(Device->Pipeline.DefectCount, 0u);
        return;
    }
    ULONG BytesRead;
    if (ReadCalibration(File, Device->Pipeline.DefectTable, kDefectFileBytesMax, &BytesRead)) {
        WriteOnce(Device->Pipeline.DefectCount, BytesRead / static_cast<ULONG>(sizeof(DefectEntry)));
    }
    ZwClose(File);
}

}  // namespace

VOID LoadCalibration(DeviceContext* Device, ULONG Width, ULONG Height) {
    LoadGainMap(Device, Width, Height);
    LoadDefectTable(Device, Width);
}
