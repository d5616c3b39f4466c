// Calibration file names and the file reads and writes behind LoadCalibration and the two
// captures.
#include "controls/calibration.h"

#include "controls/calibration_io.h"
#include "platform/registry.h"

namespace {

struct CalibrationFiles {
    ULONG Width;
    PCWSTR GainMap;
    PCWSTR DefectTable;
    BOOLEAN CapturesWriteHere;  // the captures name only some widths; the rest write "user"
};

#define FILES(width, capture)                                                                \
    {width, WIDE_TEXT("\\SystemRoot\\Vexa_" #width ".dat"), WIDE_TEXT("\\SystemRoot\\Vexa_" #width ".bpt"), \
     capture}

constinit const CalibrationFiles kFilesByWidth[] = {
    FILES(640, TRUE),   FILES(800, TRUE),   FILES(872, FALSE),  FILES(1024, TRUE),
    FILES(1280, TRUE),  FILES(1600, TRUE),  FILES(1744, FALSE), FILES(2048, TRUE),
    FILES(2592, TRUE),  FILES(3488, FALSE),
};

constinit const CalibrationFiles kUserFiles = {
    0, WIDE_TEXT("\\SystemRoot\\Vexa_user.dat"), WIDE_TEXT("\\SystemRoot\\Vexa_user.bpt"), TRUE};

const CalibrationFiles& FilesFor(ULONG Width, BOOLEAN ForCapture) {
    for (const CalibrationFiles& Files : kFilesByWidth) {
        if (Files.Width == Width && (!ForCapture || Files.CapturesWriteHere)) return Files;
    }
    return kUserFiles;
}

NTSTATUS OpenCalibrationFile(PCWSTR Name, ACCESS_MASK Access, ULONG Disposition, PHANDLE File) {
    UNICODE_STRING Path;
    RtlInitUnicodeString(&Path, Name);
    OBJECT_ATTRIBUTES Attributes;
    InitializeObjectAttributes(&Attributes, &Path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr,
                               nullptr);
    IO_STATUS_BLOCK Io;
    return ZwCreateFile(File, Access, &Attributes, &Io, nullptr, FILE_ATTRIBUTE_NORMAL, 0, Disposition,
                        FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
}

}  // namespace

PCWSTR GainMapFileName(ULONG Width, BOOLEAN ForCapture) { return FilesFor(Width, ForCapture).GainMap; }

PCWSTR DefectTableFileName(ULONG Width, BOOLEAN ForCapture) {
    return FilesFor(Width, ForCapture).DefectTable;
}

BOOLEAN OpenCalibrationForReading(PCWSTR Name, PHANDLE File) {
    return NT_SUCCESS(OpenCalibrationFile(Name, GENERIC_READ, FILE_OPEN, File));
}

BOOLEAN ReadCalibration(HANDLE File, PVOID Buffer, ULONG Length, PULONG BytesRead) {
    IO_STATUS_BLOCK Io;
    LARGE_INTEGER Start;
    Start.QuadPart = 0;
    const NTSTATUS Status = ZwReadFile(File, nullptr, nullptr, nullptr, &Io, Buffer, Length, &Start, nullptr);
    if (!NT_SUCCESS(Status)) return FALSE;
    *BytesRead = static_cast<ULONG>(Io.Information);
    return TRUE;
}

VOID WriteCalibrationFile(PCWSTR Name, const VOID* Data, ULONG Length) {
    HANDLE File;
    if (!NT_SUCCESS(OpenCalibrationFile(Name, GENERIC_ALL | FILE_WRITE_DATA, FILE_OVERWRITE_IF, &File))) {
        return;  // the new table stays in effect in memory until the next load
    }
    IO_STATUS_BLOCK Io;
    LARGE_INTEGER Start;
    Start.QuadPart = 0;
    ZwWriteFile(File, nullptr, nullptr, nullptr, &Io, const_cast<PVOID>(Data), Length, &Start, nullptr);
    ZwClose(File);
}
