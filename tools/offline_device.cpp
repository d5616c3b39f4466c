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
#include "imaging/gain_table.h"
#include "imaging/overlays.h"
#include "imaging/process_frame.h"
#include "usb/camera_defaults.h"
#include "usb/pipeline_tables.h"

namespace vexacam::tools {
namespace {

// Offline there is no camera to send parameters to; the calibration captures are the driver's.
NTSTATUS SendNowhere(DeviceContext*) { return STATUS_SUCCESS; }

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
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, failure);
    return failure ? "cannot read " + source + ": " + failure.message() : "";
}

void CopyTable(PUCHAR target, const GainTable& source) { std::memcpy(target, source.data(), source.size()); }

GainTable TableAt(const UCHAR* source) {
    GainTable table;
    std::memcpy(table.data(), source, table.size());
    return table;
}

}  // namespace

bool GainOfTable(const GainTable& table, uint32_t* value) {
    ULONG read = 0;
    if (!GetGain(table.data(), &read)) return false;
    *value = read;
    return true;
}

GainTable TableOfGain(uint32_t value) {
    GainTable table;
    SetGain(table.data(), static_cast<LONG>(value));
    return table;
}

std::unique_ptr<OfflineDevice> OfflineDevice::Create(uint32_t width, uint32_t height, bool privateMachine,
                                                     std::string* error) {
    std::unique_ptr<OfflineDevice> offline(new OfflineDevice());
    if (privateMachine) {
        char pattern[] = "/tmp/vexacam-process-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            *error = "cannot create a temporary directory";
            return nullptr;
        }
        offline->machineRoot_ = pattern;
        host::SetMachineRoot(offline->machineRoot_);
        host::MakeDirectories(host::SystemRootPath());
    }
    offline->device_ = static_cast<DeviceContext*>(std::calloc(1, sizeof(DeviceContext)));
    if (offline->device_ == nullptr || AllocatePipelineTables(offline->device_) != STATUS_SUCCESS) {
        *error = "out of memory";
        return nullptr;
    }
    DeviceContext* device = offline->device_;
    WriteCameraDefaults(device);
    device->Command.FrameWidth = width;
    device->Command.FrameHeight = height;
    device->BitCount = 24;
    device->ImageSize = width * height * 3;
    offline->width_ = width;
    offline->height_ = height;
    offline->frame_.assign(kRawFrameBytes, 0);
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

std::string OfflineDevice::LoadCalibrationFiles(const std::string& gainMapPath, const std::string& defectsPath) {
    std::string problem = PlaceFile(gainMapPath, GainMapFileName(width_, FALSE));
    if (problem.empty()) problem = PlaceFile(defectsPath, DefectTableFileName(width_, FALSE));
    if (problem.empty()) LoadCalibration(device_, width_, height_);
    return problem;
}

std::string OfflineDevice::MachineCalibrationPath(uint32_t width, bool gainMap) {
    std::string path;
    const NTSTATUS status = host::ResolveSystemPath(
        Narrow(gainMap ? GainMapFileName(width, FALSE) : DefectTableFileName(width, FALSE)), &path);
    return NT_SUCCESS(status) ? path : std::string();
}

void OfflineDevice::LoadMachineCalibration() { LoadCalibration(device_, width_, height_); }

void OfflineDevice::Apply(const RenderState& state) {
    for (const auto& [name, value] : state.Settings) {
        const std::u16string wide(name.begin(), name.end());
        ApplyStoredSetting(device_, reinterpret_cast<PCWSTR>(wide.c_str()), value);
    }
    SetGammaIndex(device_, device_->Gamma);  // the tone table for the gamma in force
    if (state.Tables.has_value()) {
        CopyTable(device_->RedGain, state.Tables->Red);
        CopyTable(device_->GreenGain, state.Tables->Green);
        CopyTable(device_->BlueGain, state.Tables->Blue);
    }
    device_->AEing = 0;
    device_->OnePushExposure = 0;
    device_->OnePushWhiteBalance = state.WhiteBalancePending ? 1 : 0;
    device_->GainMapCapture = state.GainMapCapture ? 1 : 0;
    device_->DefectCapture = 0;
    device_->CrossLine = 0;  // drawn by DrawOverlays, after the busy marker as the driver does
}

std::vector<uint8_t> OfflineDevice::RenderBase(const std::vector<uint8_t>& raw, const RenderState& state) {
    Apply(state);
    std::memcpy(frame_.data(), raw.data(), std::min(raw.size(), frame_.size()));
    std::vector<uint8_t> picture(size_t{width_} * height_ * 3, 0);
    RunFrameStagesWithActions(device_, frame_.data(), picture.data(), static_cast<ULONG>(picture.size()),
                              &kOfflineActions);
    return picture;
}

void OfflineDevice::DrawOverlays(std::vector<uint8_t>* picture, const RenderState& state) const {
    const auto setting = [&state](const char* name, uint32_t otherwise) {
        const auto found = state.Settings.find(name);
        return found == state.Settings.end() ? otherwise : found->second;
    };
    if (state.ExposurePending) DrawBusyMarker(width_, height_, picture->data());
    if (setting("CrossLine", 0) != 0) {
        DrawCrosshair(width_, height_, picture->data(), setting("CrossX", 0), setting("CrossY", 0),
                      setting("CrossMid", 1) != 0);
    }
}

std::vector<uint8_t> OfflineDevice::Render(const std::vector<uint8_t>& raw, const RenderState& state) {
    std::vector<uint8_t> picture = RenderBase(raw, state);
    DrawOverlays(&picture, state);
    return picture;
}

GainTables OfflineDevice::Tables() const {
    return {TableAt(device_->RedGain), TableAt(device_->GreenGain), TableAt(device_->BlueGain)};
}

}  // namespace vexacam::tools
