// What the frame sequence needs of a device, held by the test itself (imaging's records, the
// camera's exposure and the frame's format), and a FrameDevice that records what the sequence
// asked of the camera and of the calibration files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "imaging/pipeline_tables.h"
#include "imaging/process_frame.h"

namespace vexacam::test {

// A device's share of the sequence: the same names the driver's records use.
struct FrameRig {
    ImageSettings Image;
    ImagePipeline Pipeline;
    struct {
        ULONG Exposal;
        ULONG FrameWidth;
        ULONG FrameHeight;
    } Command;
    ULONG BitCount;
    ULONG ImageSize;
    PUCHAR Raw;  // the frame the sequence works on
};

struct RecordedActions {
    std::vector<std::string> events;  // "send", "defects", "gainmap" in call order
    std::vector<uint32_t> exposalAtSend;
    // Called after the capture computed its table, with the frame as the capture saw it.
    std::function<void(PUCHAR frame, FrameRig* device)> onDefectCapture;
    std::function<void(PUCHAR frame, FrameRig* device)> onGainMapCapture;

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

inline FrameRig* RigOf(PVOID context) { return static_cast<FrameRig*>(context); }

inline ULONG RecordedExposal(PVOID context) { return RigOf(context)->Command.Exposal; }

inline VOID RecordSend(PVOID context, ULONG exposal) {
    RigOf(context)->Command.Exposal = exposal;
    CurrentRecorder()->events.push_back("send");
    CurrentRecorder()->exposalAtSend.push_back(exposal);
}

inline VOID RecordGainMapCapture(PVOID context, ULONG, ULONG) {
    CurrentRecorder()->events.push_back("gainmap");
    FrameRig* rig = RigOf(context);
    if (CurrentRecorder()->onGainMapCapture) CurrentRecorder()->onGainMapCapture(rig->Raw, rig);
}

inline VOID RecordDefectCapture(PVOID context, ULONG) {
    CurrentRecorder()->events.push_back("defects");
    FrameRig* rig = RigOf(context);
    if (CurrentRecorder()->onDefectCapture) CurrentRecorder()->onDefectCapture(rig->Raw, rig);
}

inline const FrameDeviceCalls kRecordingCalls = {RecordedExposal, RecordSend,
                                                 RecordGainMapCapture, RecordDefectCapture};

class FrameStagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        device_ = static_cast<FrameRig*>(std::calloc(1, sizeof(FrameRig)));
        ASSERT_EQ(AllocatePipelineTables(&device_->Pipeline), STATUS_SUCCESS);
        SetImageSettingDefaults(&device_->Image);
        device_->Command.Exposal = 100;
        UseFormat(64, 32, 24);
        ExposureFrameDivider = 1;
        CurrentRecorder() = &recorded_;
    }

    void TearDown() override {
        CurrentRecorder() = nullptr;
        FreePipelineTables(&device_->Pipeline);
        std::free(device_);
    }

    void UseFormat(uint32_t width, uint32_t height, uint32_t bitCount) {
        device_->Command.FrameWidth = width;
        device_->Command.FrameHeight = height;
        device_->BitCount = bitCount;
        device_->ImageSize = width * height * (bitCount / 8);
        raw_.assign(kGainMapEntries, 0);
        output_.assign(size_t{width} * height * 3 + 64, 0xCC);
    }

    void FillRaw(uint8_t value) {
        const size_t samples = size_t{device_->Command.FrameWidth} * device_->Command.FrameHeight;
        std::memset(raw_.data(), value, std::min(samples, raw_.size()));
    }

    void RunFrame() { RunFrameInto(output_.data(), static_cast<ULONG>(output_.size())); }

    void RunFrameInto(PUCHAR output, ULONG outputLength) {
        device_->Raw = raw_.data();
        const FrameShape shape = {device_->Command.FrameWidth, device_->Command.FrameHeight,
                                  device_->BitCount, device_->ImageSize};
        const FrameDevice camera = {&kRecordingCalls, device_};
        RunFrameStages(shape, &device_->Image, &device_->Pipeline, camera, raw_.data(), output,
                       outputLength);
    }

    FrameRig* device_ = nullptr;
    RecordedActions recorded_;
    std::vector<uint8_t> raw_;
    std::vector<uint8_t> output_;
};

}  // namespace vexacam::test
