#include "controls/settings_key.h"

#include "usb/pool_tags.h"

namespace {

constexpr ULONG kTagSettingsQuery = MakePoolTag("VxSq");
constexpr ULONG kValueDataOffset = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);

VOID InitializeSettingsKeyAttributes(POBJECT_ATTRIBUTES Attributes, PUNICODE_STRING Name) {
    RtlInitUnicodeString(Name, WIDE_TEXT("\\Registry\\Machine\\SOFTWARE\\Korvald"));
    InitializeObjectAttributes(Attributes, Name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr,
                               nullptr);
}

}  // namespace

BOOLEAN OpenSettingsForReading(SettingsQuery* Query) {
    Query->Buffer = static_cast<PUCHAR>(
        ExAllocatePoolWithTag(NonPagedPool, kSettingsQueryBytes, kTagSettingsQuery));
    if (Query->Buffer == nullptr) return FALSE;
    RtlZeroMemory(Query->Buffer, kSettingsQueryBytes);
    UNICODE_STRING Name;
    OBJECT_ATTRIBUTES Attributes;
    InitializeSettingsKeyAttributes(&Attributes, &Name);
    if (!NT_SUCCESS(ZwOpenKey(&Query->Key, KEY_READ, &Attributes))) {
        ExFreePool(Query->Buffer);
        Query->Buffer = nullptr;
        return FALSE;
    }
    return TRUE;
}

const UCHAR* QuerySettingData(SettingsQuery* Query, PCWSTR Name) {
    UNICODE_STRING ValueName;
    RtlInitUnicodeString(&ValueName, Name);
    ULONG Length = 0;
    const NTSTATUS Status = ZwQueryValueKey(Query->Key, &ValueName, KeyValuePartialInformation,
                                            Query->Buffer, kSettingsQueryBytes, &Length);
    if (Status != STATUS_SUCCESS) return nullptr;
    // Only what the save writes is a setting: a value of another type or length would be read
    // as a number it never was, or take the bytes a longer value left in the buffer.
    const auto* Info = reinterpret_cast<const KEY_VALUE_PARTIAL_INFORMATION*>(Query->Buffer);
    if (Info->Type != REG_DWORD || Info->DataLength != sizeof(ULONG)) return nullptr;
    return Query->Buffer + kValueDataOffset;
}

VOID CloseSettingsQuery(SettingsQuery* Query) {
    ZwClose(Query->Key);
    ExFreePool(Query->Buffer);
    Query->Buffer = nullptr;
}

NTSTATUS OpenSettingsForWriting(PHANDLE Key) {
    UNICODE_STRING Name;
    OBJECT_ATTRIBUTES Attributes;
    InitializeSettingsKeyAttributes(&Attributes, &Name);
    return ZwCreateKey(Key, KEY_ALL_ACCESS, &Attributes, 0, nullptr, REG_OPTION_NON_VOLATILE,
                       nullptr);
}

BOOLEAN QuerySettingDword(HANDLE Key, PCWSTR Name, PULONG Value) {
    UNICODE_STRING ValueName;
    RtlInitUnicodeString(&ValueName, Name);
    ULONG Buffer[(kValueDataOffset + sizeof(ULONG)) / sizeof(ULONG)];  // aligned for the header
    ULONG Length = 0;
    const NTSTATUS Status = ZwQueryValueKey(Key, &ValueName, KeyValuePartialInformation, Buffer,
                                            sizeof(Buffer), &Length);
    if (Status != STATUS_SUCCESS) return FALSE;
    const auto* Info = reinterpret_cast<const KEY_VALUE_PARTIAL_INFORMATION*>(Buffer);
    if (Info->Type != REG_DWORD || Info->DataLength != sizeof(ULONG)) return FALSE;
    RtlCopyMemory(Value, reinterpret_cast<const UCHAR*>(Buffer) + kValueDataOffset, sizeof(ULONG));
    return TRUE;
}

NTSTATUS WriteSettingDword(HANDLE Key, PCWSTR Name, ULONG Value) {
    UNICODE_STRING ValueName;
    RtlInitUnicodeString(&ValueName, Name);
    return ZwSetValueKey(Key, &ValueName, 0, REG_DWORD, &Value, sizeof(Value));
}
