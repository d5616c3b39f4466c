// Reading and writing one control of the table through the driver's property requests, as an
// application would, and the stored settings no property reaches through the registry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/framework/client.h"
#include "tools/control_table.h"

namespace vexacam::tools {

struct ControlReading {
    bool HasNumber = false;  // a plain value (most controls)
    int64_t Number = 0;
    std::vector<int64_t> Parts;  // the camera window: height, width, x, y
    std::string Flags;           // amplifier brightness and white balance: "auto" or "manual"
    std::string Text;            // how people read it: "20", "auto", "height 1536 width 2048 x 0 y 0"
};

// Reads the control. A get that writes nothing leaves HasNumber false and Text "(none)". A
// stored setting without a stored value reads as its default.
NTSTATUS ReadControl(host::AdapterClient& adapter, const Control& control, ControlReading* reading);

// Writes Values (one, or four for the window). Flags: 0, or the amplifier's auto or manual
// flag. Stored settings of the registry set are written to the registry as this process
// holds it (StoreRegistry writes the file).
NTSTATUS WriteControl(host::AdapterClient& adapter, const Control& control,
                      const std::vector<int64_t>& values, ULONG flags = 0);

// Automatic exposure on or off through the amplifier's brightness flags. A manual set while it
// is off would store its Value as the exposure, so switching off is only sent when it is on,
// and carries the exposure in force.
NTSTATUS SetAutoExposure(host::AdapterClient& adapter, bool on);
NTSTATUS GetAutoExposure(host::AdapterClient& adapter, bool* on);

// Exposure by hand is taken only while automatic exposure is off: before a write of the
// exposure (or a manual write of the amplifier's brightness) it is switched off when on.
// *SwitchedOff tells whether it was; a failure of the switch is returned.
NTSTATUS SwitchOffAutoExposureFor(host::AdapterClient& adapter, const Control& control, ULONG flags,
                                  bool* switchedOff);

}  // namespace vexacam::tools
