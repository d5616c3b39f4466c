#include "tools/offline_device.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "controls/calibration.h"
#include "controls/control_actions.h"
#include "controls/stored_settings.h"
#include "driver/device_context.h"
#include "host/files/machine_root.h"
#include "host/files/system_path.h"
#include "imaging/process_frame.h"
#include "usb/camera_defaults.h"
#include "usb/pipeline_tables.h"

namespace vexacam::tools {
namespace {

// Offline there is no camera to send parameters to; the calibration captures are the driver's.
VOID SendNowhere(DeviceContext*) {}

const FRAME_STAGE_ACTIONS kOfflineActions = {SendNowhere, CaptureDefectTable, CaptureGainMap};

std::string Narrow(PCWSTR wide) {
    std::string text;
    for (; *wide != 0; ++wide) text.push_back(static_cast<char>(*wide));
    return text;
}

std::string PlaceFile(const std::string& source, PCWSTR kernelName) {
    if (source.empty()) return "";
    std::string target;
    if (!NT_SUCCESS(host::ResolveSystemPath(Narrow(kernelName), &target))) {
        return "cannot place " + source;
    }
    std::error_code failure;
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing,
                               failure);
    return failure ? "cannot read " + source + ": " + failure.message() : "";
}

}  // namespace

std::unique_ptr<OfflineDevice> OfflineDevice::Create(uint32_t width, uint32_t height,
                                                     std::string* error) {
    std::unique_ptr<OfflineDevice> offline(new OfflineDevice());
    char pattern[] = "/tmp/vexacam-process-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        *error = "cannot create a temporary directory";
        return nullptr;
    }
    offline->machineRoot_ = pattern;
    host::SetMachineRoot(offline->machineRoot_);
    host::MakeDirectories(host::SystemRootPath());

    offline->device_ = static_cast<DeviceContext*>(std::calloc(1, sizeof(DeviceContext)));
    if (offline->device_ == nullptr || AllocatePipelineTables(offline->device_) != STATUS_SUCCESS) {
        *error = "out of memory";
        return nullptr;
    }
    DeviceContext* device = offline->device_;
    WriteCameraDefaults(device);
    ExposureFrameDivider = 1;
    device->Command.FrameWidth = width;
    device->Command.FrameHeight = height;
    device->BitCount = 24;
    device->ImageSize = width * height * 3;
    offline->width_ = width;
    offline->height_ = height;
    return offline;
}

OfflineDevice::~OfflineDevice() {
    if (device_ != nullptr) {
        FreePipelineTables(device_);
        std::free(device_);
    }
    if (!machineRoot_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(machineRoot_, ignored);
        host::SetMachineRoot("");
    }
}

uint64_t OfflineDevice::MaxSamples() { return kRawFrameBytes; }

void OfflineDevice::Apply(const std::string& name, uint32_t value) {
    if (name == "OnePushExposure") {
        if (device_->AEing == 0) device_->OnePushExposure = value != 0;  // refused while automatic
    } else if (name == "OnePushWhiteBalance") {
        device_->OnePushWhiteBalance = value != 0;
    } else if (name == "GainMapCapture") {
        device_->GainMapCapture = 1;  // whatever the value
    } else {
        std::u16string wide(name.begin(), name.end());
        ApplyStoredSetting(device_, reinterpret_cast<PCWSTR>(wide.c_str()), value);
        if (name == "Gamma") SetGammaIndex(device_, device_->Gamma);  // the tone table for it
    }
}

std::string OfflineDevice::LoadCalibrationFiles(const std::string& gainMapPath,
                                                const std::string& defectsPath) {
    std::string problem = PlaceFile(gainMapPath, GainMapFileName(width_, FALSE));
    if (problem.empty()) problem = PlaceFile(defectsPath, DefectTableFileName(width_, FALSE));
    if (problem.empty()) LoadCalibration(device_, width_, height_);
    return problem;
}

std::vector<uint8_t> OfflineDevice::ProcessFrame(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> frame(kRawFrameBytes, 0);
    std::memcpy(frame.data(), raw.data(), std::min(raw.size(), frame.size()));
    std::vector<uint8_t> picture(size_t{width_} * height_ * 3, 0);
    RunFrameStagesWithActions(device_, frame.data(), picture.data(),
                              static_cast<ULONG>(picture.size()), &kOfflineActions);
    return picture;
}

}  // namespace vexacam::tools
