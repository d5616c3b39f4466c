#include "tools/offline_device.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "controls/calibration_file_names.h"
#include "host/files/system_path.h"
#include "imaging/gain_table.h"
#include "imaging/gamma_table.h"
#include "imaging/overlays.h"
#include "imaging/pipeline_tables.h"
#include "imaging/process_frame.h"
#include "imaging/tone_table.h"
#include "tools/whole_file.h"

namespace vexacam::tools {
namespace {

// Offline there is no camera: the exposure is the object's own, and captured tables stay in
// memory.
ULONG ReadExposal(PVOID context) { return *static_cast<uint32_t*>(context); }
VOID StoreExposal(PVOID context, ULONG exposal) { *static_cast<uint32_t*>(context) = exposal; }
VOID KeepNothing(PVOID, ULONG, ULONG) {}
VOID KeepNoDefects(PVOID, ULONG) {}

const FrameDeviceCalls kOfflineCalls = {ReadExposal, StoreExposal, KeepNothing, KeepNoDefects};

// How the settings load takes a stored value: its first byte, the whole value, or whether it
// is non-zero. Gains and the gamma index build tables and are taken apart.
enum class Load { Byte, Dword, Flag };

struct StoredField {
    const char* Name;
    Load How;
    ULONG ImageSettings::*Wide;
    UCHAR ImageSettings::*Narrow;
};

constexpr StoredField kFields[] = {
    {"Contrast", Load::Byte, nullptr, &ImageSettings::Contrast},
    {"VideoModel", Load::Byte, nullptr, &ImageSettings::VideoModel},
    {"LightModel", Load::Byte, nullptr, &ImageSettings::LightModel},
    {"Saturntion", Load::Byte, &ImageSettings::Saturntion, nullptr},
    {"ColorAdjustType", Load::Dword, &ImageSettings::ColorAdjustType, nullptr},
    {"CrossX", Load::Dword, &ImageSettings::CrossX, nullptr},
    {"CrossY", Load::Dword, &ImageSettings::CrossY, nullptr},
    {"H_Off", Load::Dword, &ImageSettings::H_Off, nullptr},
    {"V_Off", Load::Dword, &ImageSettings::V_Off, nullptr},
    {"BWPreview", Load::Flag, &ImageSettings::BWPreview, nullptr},
    {"CrossLine", Load::Flag, &ImageSettings::CrossLine, nullptr},
    {"CrossMid", Load::Flag, &ImageSettings::CrossMid, nullptr},
    {"LightAVG", Load::Flag, &ImageSettings::LightAVG, nullptr},
    {"AEing", Load::Flag, &ImageSettings::AEing, nullptr},
};

ULONG Loaded(Load how, uint32_t value) {
    switch (how) {
        case Load::Byte: return value & 0xFF;
        case Load::Flag: return value != 0;
        case Load::Dword: break;
    }
    return value;
}

std::string Narrow(PCWSTR wide) {
    std::string text;
    for (; *wide != 0; ++wide) text.push_back(static_cast<char>(*wide));
    return text;
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

std::unique_ptr<OfflineDevice> OfflineDevice::Create(uint32_t width, uint32_t height, std::string* error) {
    std::unique_ptr<OfflineDevice> offline(new OfflineDevice());
    offline->pipeline_ = std::make_unique<ImagePipeline>();
    if (AllocatePipelineTables(offline->pipeline_.get()) != STATUS_SUCCESS) {
        *error = "out of memory";
        return nullptr;
    }
    SetImageSettingDefaults(&offline->settings_);
    offline->width_ = width;
    offline->height_ = height;
    offline->frame_.assign(kGainMapEntries, 0);
    return offline;
}

OfflineDevice::~OfflineDevice() {
    if (pipeline_ != nullptr) FreePipelineTables(pipeline_.get());
}

uint64_t OfflineDevice::MaxSamples() { return kGainMapEntries; }

// As the loader: a gain map fills the leading entries it holds (the rest stay unity), a
// defect table gives one entry per whole 4-byte record up to the table's size.
std::string OfflineDevice::LoadCalibrationFiles(const std::string& gainMapPath, const std::string& defectsPath) {
    std::vector<uint8_t> bytes;
    if (!gainMapPath.empty()) {
        if (std::string problem = ReadWholeFile(gainMapPath, &bytes); !problem.empty()) return problem;
        const size_t used = size_t{width_} * height_ * sizeof(SHORT);
        std::memcpy(pipeline_->GainMap, bytes.data(), std::min(bytes.size(), used));
    }
    if (!defectsPath.empty()) {
        if (std::string problem = ReadWholeFile(defectsPath, &bytes); !problem.empty()) return problem;
        const size_t entries = std::min<size_t>(bytes.size() / sizeof(DefectEntry), kDefectTableEntries);
        std::memcpy(pipeline_->DefectTable, bytes.data(), entries * sizeof(DefectEntry));
        if (entries != 0) pipeline_->DefectCount = static_cast<ULONG>(entries);
    }
    return "";
}

std::string OfflineDevice::MachineCalibrationPath(uint32_t width, bool gainMap) {
    std::string path;
    const NTSTATUS status = host::ResolveSystemPath(
        Narrow(gainMap ? GainMapFileName(width, FALSE) : DefectTableFileName(width, FALSE)), &path);
    return NT_SUCCESS(status) ? path : std::string();
}

void OfflineDevice::LoadMachineCalibration() {
    const auto existing = [this](bool gainMap) {
        const std::string path = MachineCalibrationPath(width_, gainMap);
        std::error_code failure;
        return !path.empty() && std::filesystem::is_regular_file(path, failure) ? path : std::string();
    };
    LoadCalibrationFiles(existing(true), existing(false));
}

void OfflineDevice::ApplySetting(const std::string& name, uint32_t value) {
    ImagePipeline& pipeline = *pipeline_;
    if (name == "Exposal") {
        exposal_ = value;
    } else if (name == "R_Gain" || name == "G_Gain" || name == "B_Gain") {
        PUCHAR table = name[0] == 'R' ? pipeline.RedGain : name[0] == 'G' ? pipeline.GreenGain : pipeline.BlueGain;
        SetGain(table, static_cast<LONG>(value));
    } else if (name == "Gamma") {
        pipeline.Gamma = ClampGammaIndex(static_cast<LONG>(value & 0xFF));
        BuildToneTable(&pipeline.GammaValue, GammaForIndex(pipeline.GammaTable, pipeline.Gamma), pipeline.ToneTable,
                       pipeline.LogTable);
    } else {
        for (const StoredField& field : kFields) {
            if (name != field.Name) continue;
            if (field.Narrow != nullptr) {
                settings_.*field.Narrow = static_cast<UCHAR>(Loaded(field.How, value));
            } else {
                settings_.*field.Wide = Loaded(field.How, value);
            }
        }
    }
}

void OfflineDevice::Apply(const RenderState& state) {
    for (const auto& [name, value] : state.Settings) ApplySetting(name, value);
    if (state.Tables.has_value()) {
        CopyTable(pipeline_->RedGain, state.Tables->Red);
        CopyTable(pipeline_->GreenGain, state.Tables->Green);
        CopyTable(pipeline_->BlueGain, state.Tables->Blue);
    }
    settings_.AEing = 0;
    settings_.OnePushExposure = 0;
    settings_.OnePushWhiteBalance = state.WhiteBalancePending ? 1 : 0;
    settings_.GainMapCapture = state.GainMapCapture ? 1 : 0;
    settings_.DefectCapture = 0;
    settings_.CrossLine = 0;  // drawn by DrawOverlays, after the busy marker as the driver does
}

std::vector<uint8_t> OfflineDevice::RenderBase(const std::vector<uint8_t>& raw, const RenderState& state) {
    Apply(state);
    std::memcpy(frame_.data(), raw.data(), std::min(raw.size(), frame_.size()));
    std::vector<uint8_t> picture(size_t{width_} * height_ * 3, 0);
    const FrameShape shape = {width_, height_, 24, static_cast<ULONG>(picture.size())};
    const FrameDevice device = {&kOfflineCalls, &exposal_};
    RunFrameStages(shape, &settings_, pipeline_.get(), device, frame_.data(), picture.data(),
                   static_cast<ULONG>(picture.size()));
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
    return {TableAt(pipeline_->RedGain), TableAt(pipeline_->GreenGain), TableAt(pipeline_->BlueGain)};
}

}  // namespace vexacam::tools
