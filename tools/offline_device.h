// A device record as a fresh initialization leaves it, without a camera behind it, so that raw
// frames can run through the driver's stage sequence outside the driver: `vexacam process`,
// and the capture's check that each picture replays from its raw frame.
//
// The exposure stages never run here (automatic and one-push exposure only change what the
// camera is sent, and their frame counter is the driver's, shared by every device in the
// process); a pending one-push exposure is drawn as the driver draws it, as its busy marker.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/render_state.h"

struct DeviceContext;

namespace vexacam::tools {

class OfflineDevice {
public:
    // Pipeline tables allocated, initialization defaults written, and the frame geometry of a
    // 24-bit format of Width x Height. With a private machine, the calibration files and
    // captures live in a temporary directory that goes with the object (for a process with no
    // driver of its own); otherwise the machine's own files are read. Null with *error set.
    static std::unique_ptr<OfflineDevice> Create(uint32_t width, uint32_t height, bool privateMachine,
                                                 std::string* error);
    ~OfflineDevice();
    OfflineDevice(const OfflineDevice&) = delete;
    OfflineDevice& operator=(const OfflineDevice&) = delete;

    // The largest Width x Height the driver's raw frame buffer holds.
    static uint64_t MaxSamples();

    // Private machine: places the given files where the loader looks for this width's ".dat"
    // and ".bpt" (an empty path: no file) and loads them. Empty string on success.
    std::string LoadCalibrationFiles(const std::string& gainMapPath, const std::string& defectsPath);
    // Where the driver loads this width's gain map (or defect table) from on this machine.
    static std::string MachineCalibrationPath(uint32_t width, bool gainMap);
    // The machine's own: loads what the driver loaded when its stream opened at this width.
    void LoadMachineCalibration();

    // Runs the stage sequence once on Raw (Width x Height samples) in State and returns the
    // picture without its overlays; DrawOverlays adds them.
    std::vector<uint8_t> RenderBase(const std::vector<uint8_t>& raw, const RenderState& state);
    void DrawOverlays(std::vector<uint8_t>* picture, const RenderState& state) const;
    std::vector<uint8_t> Render(const std::vector<uint8_t>& raw, const RenderState& state);

    // The gain tables as the last render left them (a white balance rewrites them).
    GainTables Tables() const;

private:
    OfflineDevice() = default;
    void Apply(const RenderState& state);

    DeviceContext* device_ = nullptr;
    std::string machineRoot_;  // private machine only
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    std::vector<uint8_t> frame_;  // the raw-frame buffer the stages work in
};

// The registry value's gain (units of 1/500) that the table reads back as; false when the
// table has no slope to read.
bool GainOfTable(const GainTable& table, uint32_t* value);
// The table SetGain builds for Value.
GainTable TableOfGain(uint32_t value);

}  // namespace vexacam::tools
