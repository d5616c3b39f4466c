// Each test starts from a fresh host on the manual clock with a zeroed DeviceContext, and
// brings the driver up and down by calling its initialize and uninitialize handlers the way
// the adapter does.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "driver/device_context.h"
#include "driver/device_lifecycle.h"
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
        machine_ = std::make_unique<host::TemporaryMachineRoot>("usb");
        host::registry::DiscardHive();
        device_ = std::make_unique<DeviceContext>();
    }

    void TearDown() override {
        host::RunUntilIdle();
        EXPECT_EQ(host::LiveSystemThreadCount(), 0u) << "a test left a system thread running";
        host::ResetHost();
        host::registry::DiscardHive();
        machine_.reset();
    }

    NTSTATUS Initialize(PDEVICE_OBJECT pdo) {
        PORT_CONFIGURATION_INFORMATION config = {};
        config.SizeOfThisPacket = sizeof(config);
        config.HwDeviceExtension = device_.get();
        config.PhysicalDeviceObject = pdo;
        config.RealPhysicalDeviceObject = pdo;
        NTSTATUS status = InitializeAdapter(device_.get(), &config);
        descriptor_size_ = config.StreamDescriptorSize;
        return status;
    }

    NTSTATUS Uninitialize() { return UninitializeAdapter(device_.get()); }

    DeviceContext& Device() { return *device_; }

    std::unique_ptr<DeviceContext> device_;
    ULONG descriptor_size_ = 0;
    std::unique_ptr<host::TemporaryMachineRoot> machine_;
};

}  // namespace usb_test
