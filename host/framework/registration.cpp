// StreamClassRegisterAdapter: remembers the minidriver's registration record per driver object
// for the adapters created later.
#include "host/framework/registration.h"

#include <map>
#include <mutex>

#include "host/verifier/verifier.h"

namespace host::framework {
namespace {

std::mutex& RegistrationLock() {
    static std::mutex lock;
    return lock;
}

std::map<PDRIVER_OBJECT, HW_INITIALIZATION_DATA>& Registrations() {
    static std::map<PDRIVER_OBJECT, HW_INITIALIZATION_DATA> registrations;
    return registrations;
}

}  // namespace

bool FindRegistration(PDRIVER_OBJECT Driver, HW_INITIALIZATION_DATA* out) {
    std::lock_guard<std::mutex> guard(RegistrationLock());
    auto it = Registrations().find(Driver);
    if (it == Registrations().end()) return false;
    *out = it->second;
    return true;
}

void ForgetRegistration(PDRIVER_OBJECT Driver) {
    std::lock_guard<std::mutex> guard(RegistrationLock());
    Registrations().erase(Driver);
}

}  // namespace host::framework

NTSTATUS StreamClassRegisterAdapter(PVOID Argument1, PVOID Argument2,
                                    PHW_INITIALIZATION_DATA HwInitializationData) {
    host::VerifyPassiveLevel("StreamClassRegisterAdapter");
    auto driver = static_cast<PDRIVER_OBJECT>(Argument1);
    if (driver == nullptr || HwInitializationData == nullptr) return STATUS_INVALID_PARAMETER;
    const HW_INITIALIZATION_DATA& data = *HwInitializationData;
    if (data.HwInitializationDataSize != sizeof(HW_INITIALIZATION_DATA)) {
        return STATUS_INVALID_PARAMETER;
    }
    if (data.HwReceivePacket == nullptr || data.HwCancelPacket == nullptr ||
        data.HwRequestTimeoutHandler == nullptr || data.DeviceExtensionSize == 0) {
        return STATUS_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> guard(host::framework::RegistrationLock());
    host::framework::Registrations()[driver] = data;
    return STATUS_SUCCESS;
}
