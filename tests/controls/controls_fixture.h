// The driver brought up in the host against the simulated camera, in a machine directory of
// its own per test, with helpers for property requests through the framework's client API
// and for reading and seeding the stored settings.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "camera/simulated_camera.h"
#include "controls/property_sets.h"
#include "driver/device_context.h"
#include "driver/formats.h"
#include "host/framework/client.h"
#include "host/kernel/clock.h"
#include "platform/registry.h"
#include "registry/temp_machine.h"
#include "driver_under_test.h"

namespace controls_test {

inline KS_DATAFORMAT_VIDEOINFOHEADER VideoFormat(LONG width, LONG height) {
    const auto* range = reinterpret_cast<const KS_DATARANGE_VIDEO*>(CaptureFormats[0]);
    KS_DATAFORMAT_VIDEOINFOHEADER format{};
    format.DataFormat = range->DataRange;
    format.DataFormat.FormatSize = sizeof(format);
    format.VideoInfoHeader = range->VideoInfoHeader;
    format.VideoInfoHeader.bmiHeader.biWidth = width;
    format.VideoInfoHeader.bmiHeader.biHeight = height;
    format.VideoInfoHeader.bmiHeader.biSizeImage = static_cast<ULONG>(width * height * 3);
    return format;
}

class ControlsTest : public TempMachine {
protected:
    void SetUp() override {
        TempMachine::SetUp();
        host::UseManualClock();
        BringUp();
    }

    void TearDown() override {
        ShutDown();
        TempMachine::TearDown();
    }

    void BringUp() {
        camera_ = std::make_unique<camera::SimulatedCamera>();
        ASSERT_EQ(LoadDriverUnderTest(&driver_), STATUS_SUCCESS);
        ASSERT_EQ(driver_->CreateAdapter(camera_->PhysicalDeviceObject(), &adapter_), STATUS_SUCCESS);
    }

    void ShutDown() {
        if (stream_ != nullptr) {
            EXPECT_EQ(stream_->Close(), STATUS_SUCCESS);
        }
        host::RunUntilIdle();
        stream_.reset();
        if (adapter_ != nullptr) {
            EXPECT_EQ(adapter_->Uninitialize(), STATUS_SUCCESS);
        }
        adapter_.reset();
        driver_.reset();
        camera_.reset();
    }

    // Unloads everything and forgets what the process remembers, as a new program run would.
    void RestartProgram() {
        ShutDown();
        Restart();
        BringUp();
    }

    DeviceContext& Device() { return *static_cast<DeviceContext*>(adapter_->DeviceExtension()); }

    NTSTATUS OpenStream(LONG width, LONG height) {
        const KS_DATAFORMAT_VIDEOINFOHEADER format = VideoFormat(width, height);
        return adapter_->OpenStream(0, &format.DataFormat, &stream_);
    }

    // CameraControlSet, 4-byte values.
    NTSTATUS SetControl(ULONG id, ULONG value) {
        host::PropertyCall call{CameraControlSet, id, &value, sizeof(value)};
        return adapter_->SetProperty(call);
    }
    NTSTATUS GetControl(ULONG id, ULONG* value, ULONG* bytes = nullptr) {
        host::PropertyCall call{CameraControlSet, id, value, sizeof(*value)};
        return adapter_->GetProperty(call, bytes);
    }
    ULONG Control(ULONG id) {
        ULONG value = 0xDEADBEEF;
        EXPECT_EQ(GetControl(id, &value), STATUS_SUCCESS) << "id " << id;
        return value;
    }

    // Video processing amplifier.
    NTSTATUS SetProcAmp(ULONG id, LONG value, ULONG flags, KSPROPERTY_VIDEOPROCAMP_S* out = nullptr) {
        KSPROPERTY_VIDEOPROCAMP_S data{};
        data.Value = value;
        data.Flags = flags;
        host::PropertyCall call{PROPSETID_VIDCAP_VIDEOPROCAMP, id, &data, sizeof(data), sizeof(data)};
        const NTSTATUS status = adapter_->SetProperty(call);
        if (out != nullptr) *out = data;
        return status;
    }
    KSPROPERTY_VIDEOPROCAMP_S ProcAmp(ULONG id) {
        KSPROPERTY_VIDEOPROCAMP_S data{};
        host::PropertyCall call{PROPSETID_VIDCAP_VIDEOPROCAMP, id, &data, sizeof(data), sizeof(data)};
        ULONG bytes = 0;
        EXPECT_EQ(adapter_->GetProperty(call, &bytes), STATUS_SUCCESS) << "procamp id " << id;
        EXPECT_EQ(bytes, sizeof(data));
        return data;
    }

    // The stored settings, through the registry services as any other program would see them.
    void SeedSetting(const char* name, ULONG value) { SeedSetting(name, REG_DWORD, &value, 4); }
    void SeedSetting(const char* name, ULONG type, const void* data, ULONG size) {
        HANDLE key;
        ASSERT_EQ(ZwCreateKey(&key, KEY_ALL_ACCESS, KeyAttributes(), 0, nullptr, REG_OPTION_NON_VOLATILE, nullptr),
                  STATUS_SUCCESS);
        const std::u16string wide(name, name + std::strlen(name));
        UNICODE_STRING valueName;
        RtlInitUnicodeString(&valueName, reinterpret_cast<PCWSTR>(wide.c_str()));
        ASSERT_EQ(ZwSetValueKey(key, &valueName, 0, type, const_cast<void*>(data), size), STATUS_SUCCESS);
        ZwClose(key);
    }
    // The stored value as (type, first four bytes); false when it is missing.
    bool StoredSetting(const char* name, ULONG* value, ULONG* type = nullptr) {
        HANDLE key;
        if (ZwOpenKey(&key, KEY_READ, KeyAttributes()) != STATUS_SUCCESS) return false;
        const std::u16string wide(name, name + std::strlen(name));
        UNICODE_STRING valueName;
        RtlInitUnicodeString(&valueName, reinterpret_cast<PCWSTR>(wide.c_str()));
        ULONG buffer[8] = {};
        ULONG length = 0;
        const NTSTATUS status =
            ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, buffer, sizeof(buffer), &length);
        ZwClose(key);
        if (status != STATUS_SUCCESS) return false;
        if (type != nullptr) *type = buffer[1];
        EXPECT_EQ(buffer[2], 4u) << name << " is not four bytes";
        *value = buffer[3];
        return true;
    }
    ULONG Stored(const char* name) {
        ULONG value = 0xDEADBEEF;
        EXPECT_TRUE(StoredSetting(name, &value)) << name << " not stored";
        return value;
    }

    std::unique_ptr<camera::SimulatedCamera> camera_;
    std::unique_ptr<host::LoadedDriver> driver_;
    std::unique_ptr<host::AdapterClient> adapter_;
    std::unique_ptr<host::StreamClient> stream_;

private:
    POBJECT_ATTRIBUTES KeyAttributes() {
        RtlInitUnicodeString(&keyName_, WIDE_TEXT("\\Registry\\Machine\\SOFTWARE\\Korvald"));
        InitializeObjectAttributes(&keyAttributes_, &keyName_, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
        return &keyAttributes_;
    }
    UNICODE_STRING keyName_;
    OBJECT_ATTRIBUTES keyAttributes_;
};

}  // namespace controls_test
