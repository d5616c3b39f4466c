// ZwOpenKey, ZwCreateKey, ZwQueryValueKey, ZwSetValueKey, ZwDeleteValueKey, ZwFlushKey over the
// host's hive. A key handle remembers its path and granted access; closing a handle that
// changed something writes the registry file.
#include <atomic>
#include <cstring>
#include <string>

#include "host/kernel/handle_table.h"
#include "host/registry/registry_faults.h"
#include "host/registry/registry_store.h"
#include "host/registry/unicode_string.h"
#include "host/verifier/verifier.h"
#include "platform/registry.h"

#ifndef STATUS_KEY_DELETED
#define STATUS_KEY_DELETED ((NTSTATUS)0xC000017CL)
#endif

namespace host::registry {
namespace {

struct KeyObject {
    std::string Path;
    ACCESS_MASK Access;
    bool Changed = false;
};

// Keys every machine has, whether or not the file mentions them.
const char* const kPredefinedKeys[] = {
    "\\Registry", "\\Registry\\Machine", "\\Registry\\User", "\\Registry\\Machine\\SOFTWARE",
    "\\Registry\\Machine\\SYSTEM", "\\Registry\\Machine\\HARDWARE",
};

bool IsPredefined(const std::string& path) {
    for (const char* key : kPredefinedKeys) {
        if (FoldCase(key) == FoldCase(path)) return true;
    }
    return false;
}

bool KeyExists(Hive& hive, const std::string& path) {
    return IsPredefined(path) || hive.FindKey(path) != nullptr;
}

ACCESS_MASK MapGenericAccess(ACCESS_MASK access) {
    if (access & GENERIC_READ) access |= KEY_READ;
    if (access & GENERIC_WRITE) access |= KEY_WRITE;
    if (access & GENERIC_ALL) access |= KEY_ALL_ACCESS;
    return access;
}

// Joins "\Registry\Machine" and "SOFTWARE\Korvald" without doubled or trailing separators.
std::string NormalizePath(const std::string& base, const std::string& relative) {
    std::string path;
    for (const std::string& part : SplitPath(base + "\\" + relative)) path += "\\" + part;
    return path;
}

NTSTATUS ResolveKeyPath(POBJECT_ATTRIBUTES attributes, std::string* path) {
    if (attributes == nullptr || attributes->ObjectName == nullptr) return STATUS_INVALID_PARAMETER;
    const std::string name = UnicodeStringToUtf8(attributes->ObjectName);
    if (attributes->RootDirectory != nullptr) {
        auto* root = static_cast<KeyObject*>(LookupHandle(attributes->RootDirectory, HandleKind::RegistryKey));
        if (root == nullptr) return STATUS_INVALID_HANDLE;
        if (!name.empty() && name[0] == '\\') return STATUS_OBJECT_PATH_SYNTAX_BAD;
        *path = NormalizePath(root->Path, name);
        return STATUS_SUCCESS;
    }
    const std::string prefix = "\\REGISTRY";
    const std::string folded = FoldCase(name);
    if (folded.compare(0, prefix.size(), prefix) != 0 ||
        (folded.size() > prefix.size() && folded[prefix.size()] != '\\')) {
        return STATUS_OBJECT_PATH_SYNTAX_BAD;
    }
    *path = NormalizePath("", name);
    return STATUS_SUCCESS;
}

// A handle that created its key counts as a change: the new key must reach the file.
HANDLE NewKeyHandle(const std::string& path, ACCESS_MASK access, bool changed) {
    auto* key = new KeyObject{path, MapGenericAccess(access), changed};
    return CreateHandle(HandleKind::RegistryKey, key, [key] {
        if (key->Changed) FlushHive();
        delete key;
    });
}

NTSTATUS LookupKey(HANDLE handle, ACCESS_MASK needed, KeyObject** key) {
    *key = static_cast<KeyObject*>(LookupHandle(handle, HandleKind::RegistryKey));
    if (*key == nullptr) return STATUS_INVALID_HANDLE;
    if (((*key)->Access & needed) != needed) return STATUS_ACCESS_DENIED;
    return STATUS_SUCCESS;
}

NTSTATUS FillPartialInformation(const HiveValue& value, PVOID buffer, ULONG length,
                                PULONG result_length) {
    const ULONG header = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);
    const ULONG data_length = static_cast<ULONG>(value.Data.size());
    *result_length = header + data_length;
    if (length < header) return STATUS_BUFFER_TOO_SMALL;
    auto* info = static_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer);
    info->TitleIndex = 0;
    info->Type = value.Type;
    info->DataLength = data_length;
    const ULONG room = length - header;
    const ULONG copied = data_length < room ? data_length : room;
    if (copied != 0) std::memcpy(reinterpret_cast<PUCHAR>(buffer) + header, value.Data.data(), copied);
    return copied < data_length ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS;
}

}  // namespace
}  // namespace host::registry

using namespace host::registry;

NTSTATUS ZwOpenKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess,
                   POBJECT_ATTRIBUTES ObjectAttributes) {
    host::VerifyPassiveLevel("ZwOpenKey");
    if (KeyHandle == nullptr) return STATUS_INVALID_PARAMETER;
    std::string path;
    NTSTATUS status = ResolveKeyPath(ObjectAttributes, &path);
    if (!NT_SUCCESS(status)) return status;
    bool exists = false;
    UseHive([&](Hive& hive) {
        exists = KeyExists(hive, path);
        return false;
    });
    if (!exists) return STATUS_OBJECT_NAME_NOT_FOUND;
    *KeyHandle = NewKeyHandle(path, DesiredAccess, false);
    return STATUS_SUCCESS;
}

NTSTATUS ZwCreateKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess,
                     POBJECT_ATTRIBUTES ObjectAttributes, ULONG TitleIndex, PUNICODE_STRING Class,
                     ULONG CreateOptions, PULONG Disposition) {
    host::VerifyPassiveLevel("ZwCreateKey");
    if (KeyHandle == nullptr) return STATUS_INVALID_PARAMETER;
    std::string path;
    NTSTATUS status = ResolveKeyPath(ObjectAttributes, &path);
    if (!NT_SUCCESS(status)) return status;
    bool created = false;
    UseHive([&](Hive& hive) {
        if (KeyExists(hive, path)) return false;
        if (!KeyExists(hive, ParentPath(path))) {
            status = STATUS_OBJECT_NAME_NOT_FOUND;
            return false;
        }
        hive.AddKey(path);
        created = true;
        return true;
    });
    if (!NT_SUCCESS(status)) return status;
    *KeyHandle = NewKeyHandle(path, DesiredAccess, created);
    if (Disposition != nullptr) *Disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return STATUS_SUCCESS;
}

NTSTATUS ZwQueryValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName,
                         KEY_VALUE_INFORMATION_CLASS KeyValueInformationClass,
                         PVOID KeyValueInformation, ULONG Length, PULONG ResultLength) {
    host::VerifyPassiveLevel("ZwQueryValueKey");
    KeyObject* key;
    NTSTATUS status = LookupKey(KeyHandle, KEY_QUERY_VALUE, &key);
    if (!NT_SUCCESS(status)) return status;
    if (KeyValueInformationClass != KeyValuePartialInformation) return STATUS_INVALID_INFO_CLASS;
    if (ResultLength == nullptr || (KeyValueInformation == nullptr && Length != 0)) {
        return STATUS_INVALID_PARAMETER;
    }
    const std::string name = host::UnicodeStringToUtf8(ValueName);
    UseHive([&](Hive& hive) {
        const HiveKey* hive_key = hive.FindKey(key->Path);
        const HiveValue* value = hive_key ? FindValue(*hive_key, name) : nullptr;
        if (hive_key == nullptr && !IsPredefined(key->Path)) {
            status = STATUS_KEY_DELETED;
        } else if (value == nullptr) {
            status = STATUS_OBJECT_NAME_NOT_FOUND;
        } else {
            status = FillPartialInformation(*value, KeyValueInformation, Length, ResultLength);
        }
        return false;
    });
    return status;
}

namespace {
std::atomic<bool> g_fail_value_writes{false};
}  // namespace

void host::FailRegistryValueWrites(bool on) { g_fail_value_writes.store(on); }

NTSTATUS ZwSetValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName, ULONG TitleIndex, ULONG Type,
                       PVOID Data, ULONG DataSize) {
    host::VerifyPassiveLevel("ZwSetValueKey");
    KeyObject* key;
    NTSTATUS status = LookupKey(KeyHandle, KEY_SET_VALUE, &key);
    if (!NT_SUCCESS(status)) return status;
    if (g_fail_value_writes.load()) return STATUS_INSUFFICIENT_RESOURCES;
    if (Data == nullptr && DataSize != 0) return STATUS_INVALID_PARAMETER;
    const std::string name = host::UnicodeStringToUtf8(ValueName);
    const auto* bytes = static_cast<const uint8_t*>(Data);
    std::vector<uint8_t> data(bytes, bytes + DataSize);
    UseHive([&](Hive& hive) {
        HiveKey* hive_key = hive.FindKey(key->Path);
        if (hive_key == nullptr && IsPredefined(key->Path)) hive_key = hive.AddKey(key->Path);
        if (hive_key == nullptr) {
            status = STATUS_KEY_DELETED;
            return false;
        }
        SetValue(*hive_key, name, Type, std::move(data));
        return true;
    });
    if (NT_SUCCESS(status)) key->Changed = true;
    return status;
}

NTSTATUS ZwDeleteValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName) {
    host::VerifyPassiveLevel("ZwDeleteValueKey");
    KeyObject* key;
    NTSTATUS status = LookupKey(KeyHandle, KEY_SET_VALUE, &key);
    if (!NT_SUCCESS(status)) return status;
    const std::string name = host::UnicodeStringToUtf8(ValueName);
    UseHive([&](Hive& hive) {
        HiveKey* hive_key = hive.FindKey(key->Path);
        if (hive_key == nullptr || FindValue(*hive_key, name) == nullptr) {
            status = STATUS_OBJECT_NAME_NOT_FOUND;
            return false;
        }
        DeleteValue(*hive_key, name);
        return true;
    });
    if (NT_SUCCESS(status)) key->Changed = true;
    return status;
}

NTSTATUS ZwFlushKey(HANDLE KeyHandle) {
    host::VerifyPassiveLevel("ZwFlushKey");
    KeyObject* key;
    NTSTATUS status = LookupKey(KeyHandle, 0, &key);
    if (!NT_SUCCESS(status)) return status;
    if (!FlushHive()) return STATUS_UNSUCCESSFUL;
    key->Changed = false;
    return STATUS_SUCCESS;
}
