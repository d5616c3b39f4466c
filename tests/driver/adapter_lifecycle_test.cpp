// The driver brought up by the host framework against the simulated camera: what a client
// sees of the adapter before any stream is opened.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "camera/simulated_camera.h"
#include "driver/adapter.h"
#include "driver/formats.h"
#include "driver/property_sets.h"
#include "driver/stream_description.h"
#include "host/files/machine_root.h"
#include "host/framework/client.h"
#include "host/framework/property_check.h"
#include "host/kernel/clock.h"
#include "host/kernel/host_reset.h"
#include "driver_under_test.h"

namespace driver_test {
namespace {

class AdapterLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::ResetHost();
        host::UseManualClock();
        machine_ = std::make_unique<host::TemporaryMachineRoot>("driver");
        camera_ = std::make_unique<camera::SimulatedCamera>();
        ASSERT_EQ(LoadDriverUnderTest(&driver_), STATUS_SUCCESS);
        ASSERT_EQ(driver_->CreateAdapter(camera_->PhysicalDeviceObject(), &adapter_),
                  STATUS_SUCCESS);
    }

    void TearDown() override {
        if (adapter_ != nullptr) {
            EXPECT_EQ(adapter_->Uninitialize(), STATUS_SUCCESS);
        }
        adapter_.reset();
        driver_.reset();  // unload: stops the process on a pool leak
        camera_.reset();
        host::RunUntilIdle();
        machine_.reset();
    }

    std::unique_ptr<host::TemporaryMachineRoot> machine_;
    std::unique_ptr<camera::SimulatedCamera> camera_;
    std::unique_ptr<host::LoadedDriver> driver_;
    std::unique_ptr<host::AdapterClient> adapter_;
};

TEST_F(AdapterLifecycleTest, FrameworkReadsTheDescriptionIntoTheSizeTheDriverReported) {
    EXPECT_EQ(adapter_->StreamDescriptorSize(), kStreamDescriptorSize);
    EXPECT_EQ(adapter_->StreamHeader().NumberOfStreams, 1u);
    const std::vector<const KSDATARANGE*> formats = adapter_->Formats(0);
    ASSERT_EQ(formats.size(), kCaptureFormatCount);
    // The driver's own table: in an image under test, its copy of the same bytes.
    for (ULONG i = 0; i < formats.size(); ++i) {
        if (DriverImageUnderTest() == nullptr) {
            EXPECT_EQ(formats[i], CaptureFormats[i]);
        }
        ASSERT_EQ(formats[i]->FormatSize, CaptureFormats[i]->FormatSize);
        EXPECT_EQ(std::memcmp(formats[i], CaptureFormats[i], CaptureFormats[i]->FormatSize), 0);
    }
}

TEST_F(AdapterLifecycleTest, ClientIntersectsAnAdvertisedRange) {
    alignas(8) UCHAR buffer[sizeof(KS_DATAFORMAT_VIDEOINFOHEADER)] = {};
    ULONG returned = 0;
    ASSERT_EQ(adapter_->Intersect(0, CaptureFormats[5], buffer, 0, &returned),
              STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(returned, 152u);
    ASSERT_EQ(adapter_->Intersect(0, CaptureFormats[5], buffer, sizeof(buffer), &returned),
              STATUS_SUCCESS);
    EXPECT_EQ(returned, 152u);
    const auto* format = reinterpret_cast<const KS_DATAFORMAT_VIDEOINFOHEADER*>(buffer);
    EXPECT_EQ(format->VideoInfoHeader.bmiHeader.biSizeImage, 921600u);
}

TEST_F(AdapterLifecycleTest, UnhandledCommandsAndUnknownPropertiesAreRefused) {
    EXPECT_EQ(adapter_->SendRequest(SRB_CHANGE_POWER_STATE), STATUS_NOT_IMPLEMENTED);
    EXPECT_EQ(adapter_->SendRequest(SRB_OPEN_DEVICE_INSTANCE), STATUS_NOT_IMPLEMENTED);
    ULONG value = 0;
    host::PropertyCall unknownId{CameraControlSet, 39, &value, sizeof(value)};
    EXPECT_EQ(adapter_->GetProperty(unknownId), STATUS_NOT_FOUND);
    host::PropertyCall shortData{CameraControlSet, kControlBWPreview, &value, 2};
    EXPECT_EQ(adapter_->GetProperty(shortData), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(adapter_->PendingRequests(), 0u);
}

}  // namespace
}  // namespace driver_test
