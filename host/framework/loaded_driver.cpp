// Loading and unloading the driver, and bringing up adapters.
#include "host/framework/adapter.h"
#include "host/framework/client.h"
#include "host/framework/registration.h"
#include "host/image/driver_image.h"
#include "host/verifier/verifier.h"

namespace host {
namespace {

// The service key the system would pass to the driver entry.
const char16_t kRegistryPath[] = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\vexacam";

}  // namespace

LoadedDriver::LoadedDriver() = default;

NTSTATUS LoadedDriver::Load(PDRIVER_INITIALIZE entry, std::unique_ptr<LoadedDriver>* driver) {
    std::unique_ptr<LoadedDriver> loaded(new LoadedDriver());
    const NTSTATUS status = loaded->CallEntry(entry);
    if (NT_SUCCESS(status)) *driver = std::move(loaded);
    return status;
}

NTSTATUS LoadedDriver::LoadImage(const std::string& path, std::unique_ptr<LoadedDriver>* driver,
                                 std::string* problem) {
    std::unique_ptr<LoadedDriver> loaded(new LoadedDriver());
    loaded->image_ = image::DriverImage::Load(path, problem);
    if (loaded->image_ == nullptr) return STATUS_INVALID_IMAGE_FORMAT;
    const NTSTATUS status = loaded->CallEntry(loaded->image_->Entry());
    if (NT_SUCCESS(status)) *driver = std::move(loaded);
    return status;
}

NTSTATUS LoadedDriver::CallEntry(PDRIVER_INITIALIZE entry) {
    object_.Size = sizeof(DRIVER_OBJECT);
    object_.DriverInit = entry;
    UNICODE_STRING registryPath;
    registryPath.Buffer = reinterpret_cast<PWSTR>(const_cast<char16_t*>(kRegistryPath));
    registryPath.Length = static_cast<USHORT>(sizeof(kRegistryPath) - sizeof(char16_t));
    registryPath.MaximumLength = sizeof(kRegistryPath);
    const NTSTATUS status = entry(&object_, &registryPath);
    if (!NT_SUCCESS(status)) {
        framework::ForgetRegistration(&object_);
        return status;
    }
    if (!framework::FindRegistration(&object_, &registration_)) {
        VerifierFault("the driver entry succeeded without registering an adapter");
    }
    return status;
}

LoadedDriver::~LoadedDriver() {
    framework::ForgetRegistration(&object_);
    VerifierCheckNoLeaks("driver unload");
}

NTSTATUS LoadedDriver::CreateAdapter(PDEVICE_OBJECT physicalDevice,
                                     std::unique_ptr<AdapterClient>* adapter) {
    auto created =
        std::make_shared<framework::FrameworkAdapter>(&object_, registration_, physicalDevice);
    const NTSTATUS status = created->Start();
    if (NT_SUCCESS(status)) *adapter = std::make_unique<AdapterClient>(std::move(created));
    return status;
}

}  // namespace host
