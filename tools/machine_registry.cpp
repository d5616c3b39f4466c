#include "tools/machine_registry.h"

#include <cerrno>
#include <cstring>

#include "host/files/machine_root.h"
#include "host/registry/registry_store.h"
#include "platform/registry.h"

namespace vexacam::tools {
namespace {

constexpr const char* kSettingsKey = "\\Registry\\Machine\\SOFTWARE\\Korvald";

}  // namespace

bool ReadStoredValue(const std::string& name, uint32_t* value) {
    bool found = false;
    host::registry::UseHive([&](host::registry::Hive& hive) {
        const host::registry::HiveKey* key = hive.FindKey(kSettingsKey);
        const host::registry::HiveValue* stored = key == nullptr ? nullptr : host::registry::FindValue(*key, name);
        if (stored != nullptr && stored->Type == REG_DWORD && stored->Data.size() == 4) {
            *value = stored->Data[0] | stored->Data[1] << 8 | stored->Data[2] << 16 |
                     static_cast<uint32_t>(stored->Data[3]) << 24;
            found = true;
        }
        return false;
    });
    return found;
}

void WriteStoredValue(const std::string& name, uint32_t value) {
    host::registry::UseHive([&](host::registry::Hive& hive) {
        host::registry::HiveKey* key = hive.AddKey(kSettingsKey);
        host::registry::SetValue(*key, name, REG_DWORD,
                                 {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                  static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)});
        return true;
    });
}

void ForgetStoredSettings() {
    host::registry::UseHive([](host::registry::Hive& hive) {
        if (hive.FindKey(kSettingsKey) == nullptr) return false;
        hive.DeleteKeyTree(kSettingsKey);
        return true;
    });
}

std::string StoreRegistry() {
    errno = 0;
    if (host::registry::FlushHive()) return "";
    const int reason = errno;
    return "cannot write the registry file " + host::RegistryFilePath() +
           (reason != 0 ? std::string(": ") + std::strerror(reason) : std::string());
}

void KeepRegistryFileAsItIs() { host::registry::HoldChangesInMemory(true); }

}  // namespace vexacam::tools
