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
// The value's data when the query succeeds in full, else null. Valid until the next query.
const UCHAR* QuerySettingData(SettingsQuery* Query, PCWSTR Name);
VOID CloseSettingsQuery(SettingsQuery* Query);

// Creates the key if needed and opens it with full access; FALSE when that fails.
BOOLEAN OpenSettingsForWriting(PHANDLE Key);
// The stored value's first four bytes when it has at least four.
BOOLEAN QuerySettingDword(HANDLE Key, PCWSTR Name, PULONG Value);
// Writes a REG_DWORD; a failed write leaves the stored value as it was.
VOID WriteSettingDword(HANDLE Key, PCWSTR Name, ULONG Value);
