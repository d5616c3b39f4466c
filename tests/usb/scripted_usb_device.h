// A USB device for bring-up tests that answers with whatever descriptors a test gives it, so
// malformed ones can be served, and records the descriptor requests and the bulk OUT data.
#pragma once

#include <mutex>
#include <vector>

#include "host/usb/usb_function.h"
#include "tests/usb/descriptor_bytes.h"

namespace usb_test {

struct DescriptorRequest {
    UCHAR Type;
    ULONG Capacity;
};

class ScriptedUsbDevice : public host::usb::UsbFunction {
  public:
    explicit ScriptedUsbDevice(std::vector<UCHAR> configuration)
        : device_(DeviceDescriptor()), configuration_(std::move(configuration)) {
        pdo_ = host::usb::CreateSimulatedUsbDevice(this);
    }
    ~ScriptedUsbDevice() override { host::usb::DestroySimulatedUsbDevice(pdo_); }

    PDEVICE_OBJECT Pdo() const { return pdo_; }

    // The device stalls every request for descriptors of this type.
    void StallDescriptor(UCHAR type) { stalled_type_ = type; }

    std::vector<DescriptorRequest> DescriptorRequests() {
        std::lock_guard<std::mutex> guard(lock_);
        return requests_;
    }

    ULONG GetDescriptor(UCHAR type, UCHAR index, UCHAR* buffer, ULONG capacity) override {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.push_back({type, capacity});
        if (type == stalled_type_) return 0;
        const std::vector<UCHAR>* source = type == USB_DEVICE_DESCRIPTOR_TYPE ? &device_
                                           : type == USB_CONFIGURATION_DESCRIPTOR_TYPE
                                               ? &configuration_
                                               : nullptr;
        if (source == nullptr) return 0;
        ULONG count = std::min<ULONG>(capacity, static_cast<ULONG>(source->size()));
        std::copy(source->begin(), source->begin() + count, buffer);
        return count;
    }
    void SetConfiguration(UCHAR) override {}
    USBD_STATUS BulkOut(UCHAR, const UCHAR*, ULONG) override { return USBD_STATUS_SUCCESS; }
    host::usb::InTransferResult BulkIn(UCHAR, UCHAR*, ULONG) override { return {}; }
    void ResetEndpoint(UCHAR) override {}
    void ResetPort() override {}

  private:
    std::mutex lock_;
    std::vector<UCHAR> device_;
    std::vector<UCHAR> configuration_;
    std::vector<DescriptorRequest> requests_;
    UCHAR stalled_type_ = 0;
    PDEVICE_OBJECT pdo_ = nullptr;
};

}  // namespace usb_test
