// The settings of a live capture (`--set NAME=VALUE`) and how each reaches the driver: stored
// settings that a property reaches go through the property sets after the stream is opened
// (which loads the stored ones) and before it runs; those that no property reaches go into the
// registry before the driver comes up, since it reads them when the stream opens; one-shot
// requests are sent once the capture is about to keep pictures.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/framework/client.h"
#include "tools/control_arguments.h"
#include "tools/render_state.h"

namespace vexacam::tools {

// The registry set's assignments, written to the registry (and the file) before bring-up.
// Empty on success, otherwise why the registry file could not take them.
std::string StoreRegistrySettings(const std::vector<SettingAssignment>& assignments);

// The property assignments in order, requests left out. Automatic exposure is switched on
// first (the capture's default) unless the list sets AEing itself, or asks for exposure by
// hand (Exposal, OnePushExposure). Empty string on success, otherwise which property failed.
std::string ApplySettings(host::AdapterClient& adapter, const std::vector<SettingAssignment>& assignments);

// Sends the one-shot requests of the list. Empty string on success.
std::string ApplyRequests(host::AdapterClient& adapter, const std::vector<SettingAssignment>& assignments);

// The settings of the list as the driver holds them now, by name, for the summary.
std::vector<std::pair<std::string, int64_t>> ReadBackSettings(host::AdapterClient& adapter,
                                                              const std::vector<SettingAssignment>& assignments);

// Every stored setting as the driver holds it now (the registry's for those no property
// reaches), by registry value name: the state the frames of a capture are processed in.
RenderState ReadRenderState(host::AdapterClient& adapter);

// What changes while the stream runs, read again after each picture: the exposure, the gains
// (a white balance rewrites them) and the one-shot requests.
void PollRenderState(host::AdapterClient& adapter, RenderState* state);

}  // namespace vexacam::tools
