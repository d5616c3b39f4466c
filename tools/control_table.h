// Every control of the driver under one set of names: the three device property sets, and the
// stored settings that no property reaches. A stored setting is named by its registry value
// name everywhere (`controls`, `capture --set`, `process --set`, frames.jsonl); the video
// processing amplifier's standard names are aliases of the settings they stand for.
//
// Each settable control has a published range, step and default. The amplifier's ranges are
// the ones the driver publishes in its property table; the camera control set publishes none,
// so its ranges are this program's: what the field means (a flag, a band, an orientation, a
// window offset on the 2048 x 1536 sensor) and, where a camera control and an amplifier
// property reach the same field, the amplifier's range. The program refuses values outside
// them; the driver keeps its own clamps for other callers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/kernel.h"

namespace vexacam::tools {

enum class ControlSet { VideoControl, Camera, ProcAmp, Registry };

// How the value travels in its request.
enum class ValueShape {
    Ulong,         // one 32-bit value (camera control set)
    Window,        // four 32-bit values: height, width, x, y (camera control 18)
    ProcAmp,       // KSPROPERTY_VIDEOPROCAMP_S
    AutoExposure,  // the Flags of the amplifier's brightness: on is automatic exposure
    VideoControl,  // the video control set's records
    Stored,        // a REG_DWORD in the settings key, read when the stream opens
};

enum class ControlUse {
    Setting,      // a stored setting: kept in the registry when the stream stops
    Request,      // a one-shot request that a running stream acts on
    Calibration,  // starts a calibration capture: `vexacam calibrate` asks for it
    Value,        // a value the driver keeps while it runs but does not store
    ReadOnly,     // only read
    Unused,       // answered by the driver, holding nothing
};

struct PublishedRange {
    int64_t Minimum;
    int64_t Maximum;
    int64_t Step;
    int64_t Default;
};

struct Control {
    const char* Name;
    ControlSet Set;
    ULONG Id;  // property id; unused for the registry set
    ValueShape Shape;
    ControlUse Use;
    bool Ranged;  // Range holds; window, read-only and unused controls have none
    PublishedRange Range;
    const char* Means;  // amplifier properties: the setting they reach, by its name
};

// The table, in listing order: video control, camera control, amplifier, registry.
const std::vector<Control>& Controls();

// "videocontrol", "camera", "procamp", "registry".
const char* SetName(ControlSet set);

// A setting by name, case ignored: stored settings, requests and the camera's values by their
// own names, then the amplifier's names as aliases of what they reach ("Brightness" is
// Exposal). Null when no control has that name.
const Control* FindSetting(const std::string& name);

// The control of one set with that name or id; null when there is none.
const Control* FindInSet(ControlSet set, const std::string& name);
const Control* FindInSet(ControlSet set, ULONG id);

// Parses a whole number: decimal, 0x hexadecimal, or negative. False on junk or overflow.
bool ParseInteger(const std::string& text, long long* value);

// Empty when Value lies in the control's published range and on its step, otherwise the
// reason with the range: "Contrast takes 1..32, not 99".
std::string CheckRange(const Control& control, long long value);

// "1..32 step 1, default 16", or "" for a control without a range.
std::string RangeText(const Control& control);

}  // namespace vexacam::tools
