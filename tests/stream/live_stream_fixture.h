// A test fixture that brings the driver up in the host against a camera, opens the capture
// stream with a format and drives it with the manual clock: the common ground of the stream
// and integration tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "driver/device_context.h"
#include "driver/formats.h"
#include "host/files/machine_root.h"
#include "host/framework/client.h"
#include "host/kernel/clock.h"
#include "host/kernel/host_reset.h"
#include "driver_under_test.h"

namespace vexacam_test {

// Index into CaptureFormats.
enum FormatIndex { k2048x1536 = 0, k1600x1200, k1280x1024, k1024x768, k800x600, k640x480 };

// The format a client gets by echoing an advertised range.
inline KS_DATAFORMAT_VIDEOINFOHEADER AdvertisedFormat(int index) {
    const KS_DATARANGE_VIDEO* range = reinterpret_cast<const KS_DATARANGE_VIDEO*>(CaptureFormats[index]);
    KS_DATAFORMAT_VIDEOINFOHEADER format{};
    format.DataFormat = range->DataRange;
    format.DataFormat.FormatSize = sizeof(format);
    format.VideoInfoHeader = range->VideoInfoHeader;
    return format;
}

// A machine root of its own per test program run, so settings never leak between runs.
inline std::string TestMachineRoot() {
    static const std::string root = host::MakeTemporaryMachineRoot("stream");
    return root;
}

// A read buffer with the stream's completion record.
struct ReadBuffer {
    std::vector<UCHAR> Bytes;
    uint64_t Id = 0;
};

template <typename Camera>
class LiveStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::ResetHost();
        host::UseManualClock();
        host::SetMachineRoot(TestMachineRoot());
        camera_ = std::make_unique<Camera>();
        ASSERT_EQ(LoadDriverUnderTest(&driver_), STATUS_SUCCESS);
        ASSERT_EQ(driver_->CreateAdapter(camera_->Pdo(), &adapter_), STATUS_SUCCESS);
    }

    void TearDown() override {
        if (stream_ != nullptr) {
            EXPECT_EQ(stream_->Close(), STATUS_SUCCESS);
        }
        host::RunUntilIdle();
        stream_.reset();
        if (adapter_ != nullptr) {
            EXPECT_EQ(adapter_->Uninitialize(), STATUS_SUCCESS);
        }
        adapter_.reset();
        driver_.reset();  // unload: stops the process on a pool leak
        camera_.reset();
        EXPECT_EQ(host::LiveSystemThreadCount(), 0u);
    }

    DeviceContext& Device() { return *static_cast<DeviceContext*>(adapter_->DeviceExtension()); }
    StreamContext& Stream() { return *Device().Stream; }

    NTSTATUS Open(const KS_DATAFORMAT_VIDEOINFOHEADER& format) {
        return adapter_->OpenStream(0, &format.DataFormat, &stream_);
    }
    void OpenAdvertised(int index) { ASSERT_EQ(Open(AdvertisedFormat(index)), STATUS_SUCCESS); }

    // Stop -> pause (the camera and the timer start here) -> run.
    void StartRunning() {
        ASSERT_EQ(stream_->SetState(KSSTATE_PAUSE), STATUS_SUCCESS);
        host::RunUntilIdle();
        ASSERT_EQ(stream_->SetState(KSSTATE_RUN), STATUS_SUCCESS);
    }

    // Queues `count` reads with buffers of the stream's image size (or `size`).
    std::vector<uint64_t> QueueReads(int count, ULONG size = 0) {
        std::vector<uint64_t> ids;
        for (int i = 0; i < count; ++i) {
            buffers_.push_back(std::make_unique<ReadBuffer>());
            ReadBuffer& buffer = *buffers_.back();
            buffer.Bytes.assign(size != 0 ? size : Device().ImageSize, 0xEE);
            buffer.Id = stream_->QueueRead(buffer.Bytes.data(),
                                           static_cast<ULONG>(buffer.Bytes.size()), 0);
            ids.push_back(buffer.Id);
        }
        return ids;
    }

    std::vector<host::CompletedRead> Completed() {
        host::RunUntilIdle();
        std::vector<host::CompletedRead> reads = stream_->TakeCompletedReads();
        for (const host::CompletedRead& read : reads) completed_.push_back(read);
        return reads;
    }

    // Half a frame interval: one expiry of the frame timer.
    void AdvanceHalfPeriods(int count) {
        LONGLONG half = Stream().AvgTimePerFrame / 2;
        for (int i = 0; i < count; ++i) host::AdvanceClock(half);
    }

    std::unique_ptr<Camera> camera_;
    std::unique_ptr<host::LoadedDriver> driver_;
    std::unique_ptr<host::AdapterClient> adapter_;
    std::unique_ptr<host::StreamClient> stream_;
    std::vector<std::unique_ptr<ReadBuffer>> buffers_;
    std::vector<host::CompletedRead> completed_;
};

}  // namespace vexacam_test
