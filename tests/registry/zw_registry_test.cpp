// Registry services as the driver sees them: handles, access, the kernel's buffer rules, and
// values that survive a restart through the registry file.
#include <cstring>
#include <vector>

#include "platform/registry.h"
#include "temp_machine.h"

namespace {

const auto kKeyName = WIDE_TEXT("\\Registry\\Machine\\SOFTWARE\\Korvald");

class Registry : public TempMachine {
protected:
    NTSTATUS Create(PCWSTR name, HANDLE* key, ACCESS_MASK access = KEY_ALL_ACCESS,
                    ULONG* disposition = nullptr) {
        UNICODE_STRING path;
        RtlInitUnicodeString(&path, name);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
        return ZwCreateKey(key, access, &attributes, 0, nullptr, REG_OPTION_NON_VOLATILE, disposition);
    }
    NTSTATUS Open(PCWSTR name, HANDLE* key, ACCESS_MASK access = KEY_READ, HANDLE root = nullptr) {
        UNICODE_STRING path;
        RtlInitUnicodeString(&path, name);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, root, nullptr);
        return ZwOpenKey(key, access, &attributes);
    }
    static NTSTATUS Set(HANDLE key, PCWSTR name, ULONG type, const void* data, ULONG size) {
        UNICODE_STRING value;
        RtlInitUnicodeString(&value, name);
        return ZwSetValueKey(key, &value, 0, type, const_cast<void*>(data), size);
    }
    static NTSTATUS SetDword(HANDLE key, PCWSTR name, ULONG v) { return Set(key, name, REG_DWORD, &v, 4); }
    static NTSTATUS Query(HANDLE key, PCWSTR name, std::vector<UCHAR>* buffer, ULONG* result) {
        UNICODE_STRING value;
        RtlInitUnicodeString(&value, name);
        return ZwQueryValueKey(key, &value, KeyValuePartialInformation, buffer->data(),
                               static_cast<ULONG>(buffer->size()), result);
    }
    // Creates the settings key with one value and closes it, which writes the file.
    void StoreExposal(ULONG v) {
        HANDLE key;
        ASSERT_EQ(Create(kKeyName, &key), STATUS_SUCCESS);
        ASSERT_EQ(SetDword(key, WIDE_TEXT("Exposal"), v), STATUS_SUCCESS);
        ASSERT_EQ(ZwClose(key), STATUS_SUCCESS);
    }
};

TEST_F(Registry, MissingKeyIsNotFound) {
    HANDLE key;
    EXPECT_EQ(Open(kKeyName, &key), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_FALSE(HostFileExists("registry.reg"));
}

TEST_F(Registry, SavedValueIsWrittenAsRegTextAtClose) {
    StoreExposal(100);
    EXPECT_EQ(ReadHostFile("registry.reg"),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvald]\n"
              "\"Exposal\"=dword:00000064\n");
}

TEST_F(Registry, ValuesSurviveARestartAndIgnoreCase) {
    StoreExposal(4000);
    Restart();
    HANDLE key;
    ASSERT_EQ(Open(WIDE_TEXT("\\REGISTRY\\MACHINE\\software\\KORVALD"), &key), STATUS_SUCCESS);
    std::vector<UCHAR> buffer(134);
    ULONG result = 0;
    ASSERT_EQ(Query(key, WIDE_TEXT("EXPOSAL"), &buffer, &result), STATUS_SUCCESS);
    const auto* info = reinterpret_cast<KEY_VALUE_PARTIAL_INFORMATION*>(buffer.data());
    EXPECT_EQ(result, 16u);
    EXPECT_EQ(info->Type, static_cast<ULONG>(REG_DWORD));
    EXPECT_EQ(info->DataLength, 4u);
    ULONG v;
    std::memcpy(&v, buffer.data() + 12, 4);
    EXPECT_EQ(v, 4000u);
    ZwClose(key);
}

struct BufferCase {
    const char* Why;
    ULONG Length;
    NTSTATUS Status;
    bool HeaderWritten;
};

class QueryBuffer : public Registry, public ::testing::WithParamInterface<BufferCase> {};

TEST_P(QueryBuffer, FollowsTheKernelsLengthRules) {
    const BufferCase& c = GetParam();
    StoreExposal(0x11223344);
    HANDLE key;
    ASSERT_EQ(Open(kKeyName, &key), STATUS_SUCCESS);
    ULONG result = 0;
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, WIDE_TEXT("Exposal"));
    std::vector<UCHAR> backing(c.Length + 1, 0xEE);
    EXPECT_EQ(ZwQueryValueKey(key, &name, KeyValuePartialInformation, backing.data(), c.Length, &result),
              c.Status) << c.Why;
    EXPECT_EQ(result, 16u) << c.Why;
    EXPECT_EQ(backing[c.Length], 0xEE) << c.Why << ": wrote past the buffer";
    if (c.HeaderWritten) {
        ULONG type;
        std::memcpy(&type, backing.data() + 4, 4);
        EXPECT_EQ(type, static_cast<ULONG>(REG_DWORD)) << c.Why;
    } else if (c.Length > 0) {
        EXPECT_EQ(backing[0], 0xEE) << c.Why;
    }
    ZwClose(key);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, QueryBuffer,
    ::testing::Values(BufferCase{"no buffer at all", 0, STATUS_BUFFER_TOO_SMALL, false},
                      BufferCase{"shorter than the header", 11, STATUS_BUFFER_TOO_SMALL, false},
                      BufferCase{"header only", 12, STATUS_BUFFER_OVERFLOW, true},
                      BufferCase{"one byte short of the data", 15, STATUS_BUFFER_OVERFLOW, true},
                      BufferCase{"exactly enough", 16, STATUS_SUCCESS, true},
                      BufferCase{"the settings loader's 134 bytes", 134, STATUS_SUCCESS, true}));

TEST_F(Registry, ReadOnlyHandleCannotSetValues) {
    StoreExposal(1);
    HANDLE key;
    ASSERT_EQ(Open(kKeyName, &key, KEY_READ), STATUS_SUCCESS);
    EXPECT_EQ(SetDword(key, WIDE_TEXT("Exposal"), 2), STATUS_ACCESS_DENIED);
    ZwClose(key);
}

TEST_F(Registry, CreateReportsDispositionAndNeedsTheParent) {
    HANDLE key;
    ULONG disposition = 0;
    EXPECT_EQ(Create(WIDE_TEXT("\\Registry\\Machine\\SOFTWARE\\Missing\\Child"), &key),
              STATUS_OBJECT_NAME_NOT_FOUND);
    ASSERT_EQ(Create(kKeyName, &key, KEY_ALL_ACCESS, &disposition), STATUS_SUCCESS);
    EXPECT_EQ(disposition, static_cast<ULONG>(REG_CREATED_NEW_KEY));
    ZwClose(key);
    ASSERT_EQ(Create(kKeyName, &key, KEY_ALL_ACCESS, &disposition), STATUS_SUCCESS);
    EXPECT_EQ(disposition, static_cast<ULONG>(REG_OPENED_EXISTING_KEY));
    ZwClose(key);
    // An empty key still reaches the file, so it exists after a restart.
    Restart();
    ASSERT_EQ(Open(kKeyName, &key), STATUS_SUCCESS);
    ZwClose(key);
}

TEST_F(Registry, RelativeNamesResolveBelowTheRootHandle) {
    StoreExposal(7);
    HANDLE software, key;
    ASSERT_EQ(Open(WIDE_TEXT("\\Registry\\Machine\\SOFTWARE"), &software), STATUS_SUCCESS);
    EXPECT_EQ(Open(WIDE_TEXT("Korvald"), &key, KEY_READ, software), STATUS_SUCCESS);
    ZwClose(key);
    ZwClose(software);
}

TEST_F(Registry, BadNamesAndHandlesAreRefused) {
    HANDLE key;
    EXPECT_EQ(Open(WIDE_TEXT("Machine\\SOFTWARE"), &key), STATUS_OBJECT_PATH_SYNTAX_BAD);
    EXPECT_EQ(Open(WIDE_TEXT("\\RegistryX\\Machine"), &key), STATUS_OBJECT_PATH_SYNTAX_BAD);
    EXPECT_EQ(SetDword(reinterpret_cast<HANDLE>(0x7777), WIDE_TEXT("x"), 1), STATUS_INVALID_HANDLE);
}

TEST_F(Registry, OtherTypesReadBackAsStored) {
    const UCHAR text[] = {'a', 0, 'b', 0, 0, 0};
    std::vector<UCHAR> blob(300);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<UCHAR>(i);
    HANDLE key;
    ASSERT_EQ(Create(kKeyName, &key), STATUS_SUCCESS);
    ASSERT_EQ(Set(key, WIDE_TEXT("Text"), REG_SZ, text, sizeof text), STATUS_SUCCESS);
    ASSERT_EQ(Set(key, WIDE_TEXT("Blob"), REG_BINARY, blob.data(), 300), STATUS_SUCCESS);
    ZwClose(key);
    Restart();
    ASSERT_EQ(Open(kKeyName, &key), STATUS_SUCCESS);
    std::vector<UCHAR> buffer(400);
    ULONG result;
    ASSERT_EQ(Query(key, WIDE_TEXT("Text"), &buffer, &result), STATUS_SUCCESS);
    EXPECT_EQ(result, 12u + sizeof text);
    EXPECT_EQ(std::memcmp(buffer.data() + 12, text, sizeof text), 0);
    ASSERT_EQ(Query(key, WIDE_TEXT("Blob"), &buffer, &result), STATUS_SUCCESS);
    EXPECT_EQ(std::memcmp(buffer.data() + 12, blob.data(), blob.size()), 0);
    ZwClose(key);
}

TEST_F(Registry, AFileReplacedByAnotherProgramIsReadAgain) {
    StoreExposal(1);
    WriteHostFile("registry.reg",
                  "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvald]\n"
                  "\"Exposal\"=dword:00000002\n\"Gamma\"=dword:00000003\n");
    HANDLE key;
    ASSERT_EQ(Open(kKeyName, &key), STATUS_SUCCESS);
    std::vector<UCHAR> buffer(16);
    ULONG result;
    ASSERT_EQ(Query(key, WIDE_TEXT("Gamma"), &buffer, &result), STATUS_SUCCESS);
    EXPECT_EQ(buffer[12], 3);
    ZwClose(key);
}

TEST_F(Registry, SaveLeavesNoTemporaryFilesBehind) {
    for (ULONG v = 0; v < 5; ++v) StoreExposal(v);
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root_)) {
        EXPECT_EQ(entry.path().filename(), "registry.reg");
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

}  // namespace
