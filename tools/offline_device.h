// A device record as a fresh initialization leaves it, without a camera behind it, so that one
// raw frame from a file can run through the driver's stage sequence. Its machine state (the
// calibration files the loader reads and the captures write) lives in a private temporary
// directory that disappears with the object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct DeviceContext;

namespace vexacam::tools {

class OfflineDevice {
public:
    // Pipeline tables allocated, initialization defaults written, ExposureFrameDivider 1, and
    // the frame geometry of a 24-bit format of Width x Height. Null with *error set on failure.
    static std::unique_ptr<OfflineDevice> Create(uint32_t width, uint32_t height, std::string* error);
    ~OfflineDevice();
    OfflineDevice(const OfflineDevice&) = delete;
    OfflineDevice& operator=(const OfflineDevice&) = delete;

    DeviceContext* Device() { return device_; }

    // The largest Width x Height the driver's raw frame buffer holds.
    static uint64_t MaxSamples();

    // A stored setting by its registry value name, applied as the settings loader applies a
    // stored REG_DWORD, or a request (OnePushExposure, OnePushWhiteBalance, GainMapCapture)
    // as its property sets it.
    void Apply(const std::string& name, uint32_t value);

    // Places the given files where the calibration loader looks for this width's ".dat" and
    // ".bpt" files (an empty path: no file) and runs the loader. Empty string on success.
    std::string LoadCalibrationFiles(const std::string& gainMapPath, const std::string& defectsPath);

    // Runs the stage sequence once on Raw (Width x Height samples) and returns the picture.
    std::vector<uint8_t> ProcessFrame(const std::vector<uint8_t>& raw);

private:
    OfflineDevice() = default;

    DeviceContext* device_ = nullptr;
    std::string machineRoot_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
};

}  // namespace vexacam::tools
