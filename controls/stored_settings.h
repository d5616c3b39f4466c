// The 25 stored settings: their value names, where each lives in the DeviceContext, and how it
// is read from and written to its registry value.
#pragma once

#include "driver/device_context.h"

constexpr ULONG kStoredSettingCount = 25;

// Reads every value present under the settings key into its field, in the stored order. A
// missing key or value (or a failed allocation) leaves the fields as they are.
VOID ReadStoredSettings(DeviceContext* Device);

// Creates or opens the settings key and writes all 25 values as REG_DWORD, in the save order.
VOID WriteStoredSettings(DeviceContext* Device);

// Applies one value by its registry value name exactly as ReadStoredSettings would apply it
// when stored as a REG_DWORD (offline tools). FALSE, changing nothing, for an unknown name.
BOOLEAN ApplyStoredSetting(DeviceContext* Device, PCWSTR Name, ULONG Value);
