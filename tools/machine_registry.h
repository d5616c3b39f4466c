// The machine's registry as this program touches it directly, beside the driver: the stored
// settings that no property reaches, forgetting every stored setting, making sure what the
// driver saved reached the registry file, and keeping the file untouched by commands that
// only read.
#pragma once

#include <cstdint>
#include <string>

namespace vexacam::tools {

// The settings key's REG_DWORD of that name; false when there is none (or it is not 4 bytes,
// which the driver would not read either).
bool ReadStoredValue(const std::string& name, uint32_t* value);

// Sets the value in the registry as this process holds it; StoreRegistry writes it out.
void WriteStoredValue(const std::string& name, uint32_t value);

// Removes the settings key, so the driver starts from its own defaults.
void ForgetStoredSettings();

// Writes whatever this process changed in the registry to the registry file. Empty when the
// file holds it all, otherwise the one-line reason.
std::string StoreRegistry();

// From now on nothing reaches the registry file: for commands that only read, which still
// bring the driver up and down (and the driver saves its settings when it goes).
void KeepRegistryFileAsItIs();

}  // namespace vexacam::tools
