// File services: the dispositions, end of file, case-insensitive names, share modes, and that no
// name can lead out of the machine directory.
#include <cstring>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "temp_machine.h"

namespace {

class Files : public TempMachine {
protected:
    NTSTATUS CreateFile(PCWSTR name, ACCESS_MASK access, ULONG disposition, HANDLE* file,
                        ULONG_PTR* information = nullptr, ULONG share = 0) {
        UNICODE_STRING path;
        RtlInitUnicodeString(&path, name);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
        IO_STATUS_BLOCK io{};
        const NTSTATUS status = ZwCreateFile(file, access, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                                             share, disposition, FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
        if (information != nullptr) *information = io.Information;
        return status;
    }
    static NTSTATUS Read(HANDLE file, void* buffer, ULONG length, ULONG_PTR* moved, LONGLONG offset = 0) {
        IO_STATUS_BLOCK io{};
        LARGE_INTEGER at;
        at.QuadPart = offset;
        const NTSTATUS status = ZwReadFile(file, nullptr, nullptr, nullptr, &io, buffer, length, &at, nullptr);
        *moved = io.Information;
        return status;
    }
    static NTSTATUS Write(HANDLE file, const std::string& bytes) {
        IO_STATUS_BLOCK io{};
        LARGE_INTEGER at;
        at.QuadPart = 0;
        return ZwWriteFile(file, nullptr, nullptr, nullptr, &io, const_cast<char*>(bytes.data()),
                           static_cast<ULONG>(bytes.size()), &at, nullptr);
    }
};

struct DispositionCase {
    const char* Why;
    ULONG Disposition;
    bool ExistsBefore;
    NTSTATUS Status;
    ULONG_PTR Information;
    const char* ContentsAfter;  // null: the file must not exist
};

class Disposition : public Files, public ::testing::WithParamInterface<DispositionCase> {};

TEST_P(Disposition, BehavesAsThePlatformDefinesIt) {
    const DispositionCase& c = GetParam();
    if (c.ExistsBefore) WriteHostFile("SystemRoot/Vexa_640.dat", "old");
    HANDLE file;
    ULONG_PTR information = 99;
    EXPECT_EQ(CreateFile(WIDE_TEXT("\\SystemRoot\\Vexa_640.dat"), GENERIC_READ | FILE_WRITE_DATA,
                         c.Disposition, &file, &information), c.Status) << c.Why;
    EXPECT_EQ(information, c.Information) << c.Why;
    if (NT_SUCCESS(c.Status)) ZwClose(file);
    if (c.ContentsAfter == nullptr) {
        EXPECT_FALSE(HostFileExists("SystemRoot/Vexa_640.dat")) << c.Why;
    } else {
        EXPECT_EQ(ReadHostFile("SystemRoot/Vexa_640.dat"), c.ContentsAfter) << c.Why;
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, Disposition,
    ::testing::Values(
        DispositionCase{"open needs the file", FILE_OPEN, false, STATUS_OBJECT_NAME_NOT_FOUND, FILE_DOES_NOT_EXIST, nullptr},
        DispositionCase{"open keeps the contents", FILE_OPEN, true, STATUS_SUCCESS, FILE_OPENED, "old"},
        DispositionCase{"create makes a new file", FILE_CREATE, false, STATUS_SUCCESS, FILE_CREATED, ""},
        DispositionCase{"create refuses an existing file", FILE_CREATE, true, STATUS_OBJECT_NAME_COLLISION, FILE_EXISTS, "old"},
        DispositionCase{"open-if creates", FILE_OPEN_IF, false, STATUS_SUCCESS, FILE_CREATED, ""},
        DispositionCase{"open-if keeps", FILE_OPEN_IF, true, STATUS_SUCCESS, FILE_OPENED, "old"},
        DispositionCase{"overwrite needs the file", FILE_OVERWRITE, false, STATUS_OBJECT_NAME_NOT_FOUND, FILE_DOES_NOT_EXIST, nullptr},
        DispositionCase{"overwrite truncates", FILE_OVERWRITE, true, STATUS_SUCCESS, FILE_OVERWRITTEN, ""},
        DispositionCase{"overwrite-if creates", FILE_OVERWRITE_IF, false, STATUS_SUCCESS, FILE_CREATED, ""},
        DispositionCase{"overwrite-if truncates", FILE_OVERWRITE_IF, true, STATUS_SUCCESS, FILE_OVERWRITTEN, ""},
        DispositionCase{"supersede replaces", FILE_SUPERSEDE, true, STATUS_SUCCESS, FILE_SUPERSEDED, ""}));

TEST_F(Files, ReadStopsAtTheEndAndThenReportsEndOfFile) {
    WriteHostFile("SystemRoot/Vexa_640.bpt", std::string("\x01\x00\x02\x00\x03\x00\x04\x00\x05\x00", 10));
    HANDLE file;
    ASSERT_EQ(CreateFile(WIDE_TEXT("\\SystemRoot\\Vexa_640.bpt"), GENERIC_READ, FILE_OPEN, &file), STATUS_SUCCESS);
    std::vector<UCHAR> buffer(400000, 0xEE);
    ULONG_PTR moved = 0;
    EXPECT_EQ(Read(file, buffer.data(), 400000, &moved), STATUS_SUCCESS);
    EXPECT_EQ(moved, 10u);
    EXPECT_EQ(buffer[10], 0xEE);
    EXPECT_EQ(Read(file, buffer.data(), 4, &moved, 10), STATUS_END_OF_FILE);
    EXPECT_EQ(moved, 0u);
    ZwClose(file);
}

TEST_F(Files, EmptyFileReadsAsEndOfFile) {
    WriteHostFile("SystemRoot/Vexa_640.bpt", "");
    HANDLE file;
    ASSERT_EQ(CreateFile(WIDE_TEXT("\\SystemRoot\\Vexa_640.bpt"), GENERIC_READ, FILE_OPEN, &file), STATUS_SUCCESS);
    UCHAR buffer[4];
    ULONG_PTR moved = 7;
    EXPECT_EQ(Read(file, buffer, 4, &moved), STATUS_END_OF_FILE);
    EXPECT_EQ(moved, 0u);
    ZwClose(file);
}

TEST_F(Files, NamesIgnoreCaseLikeThePlatformsFileSystem) {
    WriteHostFile("SystemRoot/Vexa_1280.dat", "gains");
    HANDLE file;
    ASSERT_EQ(CreateFile(WIDE_TEXT("\\SYSTEMROOT\\VEXA_1280.DAT"), GENERIC_READ, FILE_OPEN, &file), STATUS_SUCCESS);
    ZwClose(file);
    // Overwriting through another spelling replaces the same file rather than adding a twin.
    ASSERT_EQ(CreateFile(WIDE_TEXT("\\SystemRoot\\vexa_1280.dat"), GENERIC_ALL | FILE_WRITE_DATA, FILE_OVERWRITE_IF, &file), STATUS_SUCCESS);
    EXPECT_EQ(Write(file, "new"), STATUS_SUCCESS);
    ZwClose(file);
    EXPECT_EQ(ReadHostFile("SystemRoot/Vexa_1280.dat"), "new");
}

TEST_F(Files, NoNameLeadsOutOfTheSystemDirectory) {
    WriteHostFile("registry.reg", "secret");
    HANDLE file;
    for (PCWSTR name : {WIDE_TEXT("\\SystemRoot\\..\\registry.reg"), WIDE_TEXT("\\SystemRoot\\a/../../registry.reg"),
                        WIDE_TEXT("\\??\\C:\\registry.reg"), WIDE_TEXT("SystemRoot\\x"), WIDE_TEXT("\\SystemRoot")}) {
        EXPECT_EQ(CreateFile(name, GENERIC_READ, FILE_OPEN, &file), STATUS_OBJECT_NAME_INVALID);
    }
    EXPECT_EQ(CreateFile(WIDE_TEXT("\\SystemRoot\\NoDir\\x.dat"), GENERIC_ALL, FILE_OVERWRITE_IF, &file),
              STATUS_OBJECT_PATH_NOT_FOUND);
}

TEST_F(Files, UnsharedFileCannotBeOpenedTwice) {
    HANDLE first, second;
    ASSERT_EQ(CreateFile(WIDE_TEXT("\\SystemRoot\\Vexa_user.dat"), GENERIC_ALL, FILE_OVERWRITE_IF, &first), STATUS_SUCCESS);
    EXPECT_EQ(CreateFile(WIDE_TEXT("\\SystemRoot\\Vexa_user.dat"), GENERIC_READ, FILE_OPEN, &second), STATUS_SHARING_VIOLATION);
    ZwClose(first);
    ASSERT_EQ(CreateFile(WIDE_TEXT("\\SystemRoot\\Vexa_user.dat"), GENERIC_READ, FILE_OPEN, &second), STATUS_SUCCESS);
    ZwClose(second);
}

TEST_F(Files, AccessIsCheckedPerHandle) {
    HANDLE file;
    ASSERT_EQ(CreateFile(WIDE_TEXT("\\SystemRoot\\a.dat"), FILE_WRITE_DATA, FILE_OVERWRITE_IF, &file), STATUS_SUCCESS);
    UCHAR byte;
    ULONG_PTR moved;
    EXPECT_EQ(Read(file, &byte, 1, &moved), STATUS_ACCESS_DENIED);
    ZwClose(file);
    ASSERT_EQ(CreateFile(WIDE_TEXT("\\SystemRoot\\a.dat"), GENERIC_READ, FILE_OPEN, &file), STATUS_SUCCESS);
    EXPECT_EQ(Write(file, "x"), STATUS_ACCESS_DENIED);
    ZwClose(file);
}

}  // namespace
