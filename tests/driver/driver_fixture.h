// Calls the driver's adapter routines directly with request blocks of the test's own, on a
// fresh host, and reads their completions back from the framework.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "driver/adapter.h"
#include "driver/device_context.h"
#include "driver/formats.h"
#include "host/framework/foreign_completions.h"
#include "host/kernel/clock.h"
#include "host/kernel/host_reset.h"
#include "host/verifier/verifier.h"

namespace driver_test {

// The format table entry as a video range.
inline const KS_DATARANGE_VIDEO& AdvertisedRange(int index) {
    return *reinterpret_cast<const KS_DATARANGE_VIDEO*>(CaptureFormats[index]);
}

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        host::ResetHost();
        host::UseManualClock();
        device_ = std::make_unique<DeviceContext>();
        KeInitializeSpinLock(&device_->DeviceLock);
        host::framework::TakeForeignCompletions();
    }

    void TearDown() override { host::RunUntilIdle(); }

    // A request block of this device, as the framework would hand it over.
    HW_STREAM_REQUEST_BLOCK NewRequest(SRB_COMMAND command, PHW_STREAM_OBJECT stream = nullptr) {
        HW_STREAM_REQUEST_BLOCK srb{};
        srb.SizeOfThisPacket = sizeof(srb);
        srb.Command = command;
        srb.HwDeviceExtension = device_.get();
        srb.StreamObject = stream;
        return srb;
    }

    // AdapterReceivePacket, which must complete the request exactly once before it returns.
    NTSTATUS Receive(HW_STREAM_REQUEST_BLOCK& srb) {
        host::VerifierRequestStarted(&srb);
        AdapterReceivePacket(&srb);
        std::vector<host::framework::ForeignCompletion> done =
            host::framework::TakeForeignCompletions();
        EXPECT_EQ(done.size(), 1u);
        if (!done.empty()) {
            EXPECT_EQ(done[0].Srb, &srb);
            EXPECT_FALSE(done[0].StreamNotification) << "adapter requests complete as device";
        }
        host::VerifierForgetRequest(&srb);
        return srb.Status;
    }

    std::unique_ptr<DeviceContext> device_;
};

}  // namespace driver_test
