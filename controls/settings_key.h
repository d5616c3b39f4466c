// Access to the settings key, \Registry\Machine\SOFTWARE\Korvald. PASSIVE_LEVEL.
#pragma once

#include "platform/registry.h"

// The reading side keeps one 134-byte query buffer (the 12-byte value header and 122 bytes of
// data) for all its queries, zeroed once when it is allocated.
struct SettingsQuery {
    HANDLE Key;
    PUCHAR Buffer;
};

constexpr ULONG kSettingsQueryBytes = 134;

// Allocates the buffer and opens the key for reading; FALSE (nothing to close) when either
// fails, the first use of a machine included.
BOOLEAN OpenSettingsForReading(SettingsQuery* Query);
// The value's four data bytes when it is a REG_DWORD of four bytes, else null (a missing value,
// one of another type or length, or a failed query). Valid until the next query.
const UCHAR* QuerySettingData(SettingsQuery* Query, PCWSTR Name);
VOID CloseSettingsQuery(SettingsQuery* Query);

// Creates the key if needed and opens it with full access.
NTSTATUS OpenSettingsForWriting(PHANDLE Key);
// The stored value when it is a REG_DWORD of four bytes.
BOOLEAN QuerySettingDword(HANDLE Key, PCWSTR Name, PULONG Value);
// Writes a REG_DWORD; a failed write leaves the stored value as it was.
NTSTATUS WriteSettingDword(HANDLE Key, PCWSTR Name, ULONG Value);
