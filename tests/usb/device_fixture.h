// Each test starts from a fresh host on the manual clock with a zeroed DeviceContext, and
// brings the driver's USB side up and down by calling it the way the adapter does.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "driver/adapter_services.h"
#include "driver/device_context.h"
#include "host/files/machine_root.h"
#include "host/kernel/clock.h"
#include "host/kernel/host_reset.h"
#include "host/kernel/pool.h"
#include "host/registry/registry_store.h"
#include "platform/strmini.h"

namespace usb_test {

class DeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        host::ResetHost();
        host::UseManualClock();
        // A machine of its own, so stored settings never leak between tests or to the user.
        char pattern[] = "/tmp/vexacam-usb-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        machine_root_ = pattern;
        host::SetMachineRoot(machine_root_);
        host::registry::DiscardHive();
        device_ = std::make_unique<DeviceContext>();
    }

    void TearDown() override {
        host::RunUntilIdle();
        EXPECT_EQ(host::LiveSystemThreadCount(), 0u) << "a test left a system thread running";
        host::ResetHost();
        host::registry::DiscardHive();
        host::SetMachineRoot("");
        std::filesystem::remove_all(machine_root_);
    }

    NTSTATUS Initialize(PDEVICE_OBJECT pdo) {
        PORT_CONFIGURATION_INFORMATION config = {};
        config.SizeOfThisPacket = sizeof(config);
        config.HwDeviceExtension = device_.get();
        config.PhysicalDeviceObject = pdo;
        config.RealPhysicalDeviceObject = pdo;
        NTSTATUS status = InitializeCamera(device_.get(), &config);
        descriptor_size_ = config.StreamDescriptorSize;
        return status;
    }

    NTSTATUS Uninitialize() { return UninitializeCamera(device_.get()); }

    DeviceContext& Device() { return *device_; }

    std::unique_ptr<DeviceContext> device_;
    ULONG descriptor_size_ = 0;
    std::string machine_root_;
};

}  // namespace usb_test
