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

namespace {

// "<name>.new" beside the file: the whole table is written there first.
constexpr ULONG kNameCapacity = 64;
constexpr WCHAR kTemporarySuffix[] = {'.', 'n', 'e', 'w'};
constexpr ULONG kSuffixLength = sizeof(kTemporarySuffix) / sizeof(WCHAR);

ULONG NameLength(PCWSTR Name) {
    ULONG Length = 0;
    while (Name[Length] != 0) ++Length;
    return Length;
}

BOOLEAN MakeTemporaryName(PCWSTR Name, WCHAR (&Temporary)[kNameCapacity]) {
    const ULONG Length = NameLength(Name);
    if (Length + kSuffixLength + 1 > kNameCapacity) return FALSE;
    RtlCopyMemory(Temporary, Name, Length * sizeof(WCHAR));
    RtlCopyMemory(Temporary + Length, kTemporarySuffix, sizeof(kTemporarySuffix));
    Temporary[Length + kSuffixLength] = 0;
    return TRUE;
}

NTSTATUS WriteWholeFile(HANDLE File, const VOID* Data, ULONG Length) {
    IO_STATUS_BLOCK Io;
    LARGE_INTEGER Start;
    Start.QuadPart = 0;
    const NTSTATUS Status =
        ZwWriteFile(File, nullptr, nullptr, nullptr, &Io, const_cast<PVOID>(Data), Length, &Start,
                    nullptr);
    if (!NT_SUCCESS(Status)) return Status;
    return Io.Information == Length ? STATUS_SUCCESS : STATUS_DISK_FULL;
}

NTSTATUS RenameOver(HANDLE File, PCWSTR Name) {
    struct {
        FILE_RENAME_INFORMATION Info;
        WCHAR Rest[kNameCapacity];
    } Rename = {};
    const ULONG Length = NameLength(Name);
    Rename.Info.ReplaceIfExists = TRUE;
    Rename.Info.RootDirectory = nullptr;
    Rename.Info.FileNameLength = Length * sizeof(WCHAR);
    RtlCopyMemory(Rename.Info.FileName, Name, Length * sizeof(WCHAR));
    IO_STATUS_BLOCK Io;
    return ZwSetInformationFile(File, &Io, &Rename, sizeof(Rename), FileRenameInformation);
}

VOID DeleteOpenFile(HANDLE File) {
    FILE_DISPOSITION_INFORMATION Disposition;
    Disposition.DeleteFile = TRUE;
    IO_STATUS_BLOCK Io;
    ZwSetInformationFile(File, &Io, &Disposition, sizeof(Disposition), FileDispositionInformation);
}

}  // namespace

// A capture replaces its file whole or not at all: the table goes to a temporary file beside
// it, which takes the file's name only once every byte is written. A failed write (a full disk)
// leaves the previous file as it was, never a torn one that a later load would take for a map.
NTSTATUS WriteCalibrationFile(PCWSTR Name, const VOID* Data, ULONG Length) {
    WCHAR Temporary[kNameCapacity];
    if (!MakeTemporaryName(Name, Temporary)) return STATUS_OBJECT_NAME_INVALID;
    HANDLE File;
    NTSTATUS Status = OpenCalibrationFile(Temporary, GENERIC_WRITE | DELETE, FILE_OVERWRITE_IF, &File);
    if (!NT_SUCCESS(Status)) return Status;
    Status = WriteWholeFile(File, Data, Length);
    if (NT_SUCCESS(Status)) Status = RenameOver(File, Name);
    if (!NT_SUCCESS(Status)) DeleteOpenFile(File);
    ZwClose(File);
    return Status;
}
