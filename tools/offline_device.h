// What a freshly initialized device holds for the frame sequence (its settings, its tables and
// the camera's exposure) without a device or a camera behind it, so that raw frames can run
// through the driver's stage sequence outside the driver: `vexacam process`, and the
// capture's check that each picture replays from its raw frame.
//
// The exposure stages never run here (automatic and one-push exposure only change what the
// camera is sent); a pending one-push exposure is drawn as the driver draws it, as its busy
// marker.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/image_pipeline.h"
#include "imaging/image_settings.h"
#include "tools/render_state.h"

namespace vexacam::tools {

class OfflineDevice {
public:
    // Tables allocated, the defaults of a fresh device, for a 24-bit picture of Width x Height.
    // Null with *error set on failure.
    static std::unique_ptr<OfflineDevice> Create(uint32_t width, uint32_t height, std::string* error);
    ~OfflineDevice();
    OfflineDevice(const OfflineDevice&) = delete;
    OfflineDevice& operator=(const OfflineDevice&) = delete;

    // The largest Width x Height a raw frame buffer holds.
    static uint64_t MaxSamples();

    // Reads a gain map (".dat") and a defect table (".bpt") into the tables as the driver's
    // loader reads its files (an empty path: no file). Empty string on success.
    std::string LoadCalibrationFiles(const std::string& gainMapPath, const std::string& defectsPath);
    // Where the driver loads this width's gain map (or defect table) from on this machine.
    static std::string MachineCalibrationPath(uint32_t width, bool gainMap);
    // What the driver loaded when its stream opened at this width (a missing file: none).
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
    // A stored setting by its registry value name, taken as the driver's settings load takes a
    // stored REG_DWORD. Names the sequence does not use change nothing.
    void ApplySetting(const std::string& name, uint32_t value);
    void Apply(const RenderState& state);

    ImageSettings settings_{};
    std::unique_ptr<ImagePipeline> pipeline_;
    uint32_t exposal_ = 100;  // the camera's exposure, which the exposure controls read and set
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
