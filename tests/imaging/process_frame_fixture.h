// A device record with its pipeline tables and the defaults of a fresh device, and frame stage
// actions that record what the sequence asked of the camera and the calibration code.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "driver/device_context.h"
#include "imaging/process_frame.h"
#include "usb/camera_defaults.h"
#include "usb/pipeline_tables.h"

namespace vexacam::test {

struct RecordedActions {
    std::vector<std::string> events;  // "send", "defects", "gainmap" in call order
    std::vector<uint32_t> exposalAtSend;
    std::function<void(PUCHAR frame, DeviceContext* device)> onDefectCapture;
    std::function<void(PUCHAR frame, DeviceContext* device)> onGainMapCapture;

    int Count(const std::string& event) const {
        int n = 0;
        for (const auto& e : events) n += e == event;
        return n;
    }
};

inline RecordedActions*& CurrentRecorder() {
    static RecordedActions* recorder = nullptr;
    return recorder;
}

inline NTSTATUS RecordSend(DeviceContext* device) {
    CurrentRecorder()->events.push_back("send");
    CurrentRecorder()->exposalAtSend.push_back(device->Command.Exposal);
    return STATUS_SUCCESS;
}

inline VOID RecordDefectCapture(PUCHAR frame, ULONG, ULONG, DeviceContext* device, PULONG) {
    CurrentRecorder()->events.push_back("defects");
    if (CurrentRecorder()->onDefectCapture) CurrentRecorder()->onDefectCapture(frame, device);
}

inline VOID RecordGainMapCapture(ULONG, ULONG, PUCHAR frame, DeviceContext* device) {
    CurrentRecorder()->events.push_back("gainmap");
    device->GainMapCapture = 0;
    if (CurrentRecorder()->onGainMapCapture) CurrentRecorder()->onGainMapCapture(frame, device);
}

class FrameStagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        device_ = static_cast<DeviceContext*>(std::calloc(1, sizeof(DeviceContext)));
        ASSERT_EQ(AllocatePipelineTables(device_), STATUS_SUCCESS);
        WriteCameraDefaults(device_);
        UseFormat(64, 32, 24);
        ExposureFrameDivider = 1;
        CurrentRecorder() = &recorded_;
    }

    void TearDown() override {
        CurrentRecorder() = nullptr;
        FreePipelineTables(device_);
        std::free(device_);
    }

    void UseFormat(uint32_t width, uint32_t height, uint32_t bitCount) {
        device_->Command.FrameWidth = width;
        device_->Command.FrameHeight = height;
        device_->BitCount = bitCount;
        device_->ImageSize = width * height * (bitCount / 8);
        raw_.assign(kRawFrameBytes, 0);
        output_.assign(size_t{width} * height * 3 + 64, 0xCC);
    }

    void FillRaw(uint8_t value) {
        const size_t samples = size_t{device_->Command.FrameWidth} * device_->Command.FrameHeight;
        std::memset(raw_.data(), value, std::min(samples, raw_.size()));
    }

    void RunFrame() {
        static const FRAME_STAGE_ACTIONS actions = {RecordSend, RecordDefectCapture,
                                                    RecordGainMapCapture};
        RunFrameStagesWithActions(device_, raw_.data(), output_.data(),
                                  static_cast<ULONG>(output_.size()), &actions);
    }

    DeviceContext* device_ = nullptr;
    RecordedActions recorded_;
    std::vector<uint8_t> raw_;
    std::vector<uint8_t> output_;
};

}  // namespace vexacam::test
