// Device bring-up against a camera whose configuration descriptor is whatever the input says:
// any length, any wTotalLength, any interfaces and endpoints. Bring-up must refuse it or
// configure it, and give back every allocation at teardown either way.
#include <algorithm>

#include "fuzz_host.h"
#include "host/usb/usb_function.h"

namespace {

class HostileCamera : public host::usb::UsbFunction {
public:
    HostileCamera(const uint8_t* configuration, size_t size)
        : configuration_(configuration, configuration + size) {
        pdo_ = host::usb::CreateSimulatedUsbDevice(this);
    }
    ~HostileCamera() override { host::usb::DestroySimulatedUsbDevice(pdo_); }
    HostileCamera(const HostileCamera&) = delete;
    HostileCamera& operator=(const HostileCamera&) = delete;

    PDEVICE_OBJECT Pdo() const { return pdo_; }

    ULONG GetDescriptor(UCHAR type, UCHAR, UCHAR* buffer, ULONG capacity) override {
        static const UCHAR kDevice[18] = {18, 1, 0x00, 0x02, 0xFF, 0, 0, 64, 0x34,
                                          0x12, 0x78, 0x56, 0x00, 0x01, 0, 0, 0, 1};
        const UCHAR* source = type == 1 ? kDevice : configuration_.data();
        const size_t size = type == 1 ? sizeof(kDevice) : configuration_.size();
        if (type != 1 && type != 2) return 0;
        const ULONG length = static_cast<ULONG>(std::min<size_t>(capacity, size));
        if (length != 0) std::memcpy(buffer, source, length);
        return length;
    }
    void SetConfiguration(UCHAR) override {}
    USBD_STATUS BulkOut(UCHAR, const UCHAR*, ULONG) override { return USBD_STATUS_SUCCESS; }
    // Every IN pipe answers at once, so no synchronous request waits on this camera.
    host::usb::InTransferResult BulkIn(UCHAR, UCHAR* buffer, ULONG capacity) override {
        const ULONG length = std::min<ULONG>(capacity, 64);
        std::memset(buffer, 0, length);
        return {true, USBD_STATUS_SUCCESS, length};
    }
    void ResetEndpoint(UCHAR) override {}
    void ResetPort() override {}

private:
    std::vector<UCHAR> configuration_;
    PDEVICE_OBJECT pdo_ = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    host::LoadedDriver& driver = vexacam_fuzz::FuzzDriver();
    const uint64_t blocks = host::GetPoolCounters().BlocksInUse;
    {
        HostileCamera camera(data, size);
        std::unique_ptr<host::AdapterClient> adapter;
        if (driver.CreateAdapter(camera.Pdo(), &adapter) == STATUS_SUCCESS) {
            if (adapter->Uninitialize() != STATUS_SUCCESS) abort();
        }
        adapter.reset();
        host::RunUntilIdle();
    }
    vexacam_fuzz::CheckNoPoolGrowth(blocks);
    return 0;
}
