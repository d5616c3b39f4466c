// Settings and request flags given as NAME=VALUE on the command line of a live capture, and
// how each reaches the driver: through the device property sets, as an application's would.
// The names are the stored settings' registry value names and the request flags of the
// offline `process` command, so a name means the same thing in both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/kernel.h"

namespace host {
class AdapterClient;
}

namespace vexacam::tools {

struct PropertySetting;  // one row of the table behind the names

struct SettingAssignment {
    const PropertySetting* Setting = nullptr;
    std::string Name;
    int64_t Value = 0;
};

// Parses NAME=VALUE. Empty string on success, otherwise the one-line reason.
std::string ParseSettingAssignment(const std::string& text, SettingAssignment* assignment);

// Applies the assignments in order through the property sets. Automatic exposure is switched
// on first (the capture's default) unless the list sets AEing itself, or sets Exposal, which
// asks for manual exposure. Empty string on success, otherwise which property failed.
std::string ApplySettings(host::AdapterClient& adapter,
                          const std::vector<SettingAssignment>& assignments);

// What the driver holds for the setting now, read back through the property get.
NTSTATUS ReadSetting(host::AdapterClient& adapter, const SettingAssignment& assignment,
                     int64_t* value);

// The names accepted, for help texts.
std::string SettingNames();

}  // namespace vexacam::tools
