#include "host/image/system_modules.h"

#include <string.h>
#include <strings.h>

#include "host/image/system_exports.h"
#include "host/kernel/processor_state.h"
#include "platform/registry.h"
#include "platform/strmini.h"
#include "platform/usb.h"

namespace host::image {
namespace {

constexpr const char kNtoskrnl[] = "ntoskrnl.exe";
constexpr const char kHal[] = "hal.dll";
constexpr const char kUsbd[] = "usbd.sys";
constexpr const char kStream[] = "stream.sys";

// Exported by newer systems only: present while the host offers the extended save.
bool IsOffered(const char* routine) {
    return host::ExtendedStateSaveOffered() ||
           (strcmp(routine, "KeSaveExtendedProcessorState") != 0 &&
            strcmp(routine, "KeRestoreExtendedProcessorState") != 0);
}

bool IsSystemModule(const std::string& module) {
    for (const char* known : {kNtoskrnl, kHal, kUsbd, kStream}) {
        if (strcasecmp(module.c_str(), known) == 0) return true;
    }
    return false;
}

}  // namespace

const std::vector<SystemExport>& SystemExports() {
#define VEXACAM_EXPORT_ENTRY(Module, Routine) \
    SystemExport{k##Module, #Routine, reinterpret_cast<const void*>(&Routine)},
    static const std::vector<SystemExport> exports = {
        VEXACAM_FOR_EACH_SYSTEM_EXPORT(VEXACAM_EXPORT_ENTRY)};
#undef VEXACAM_EXPORT_ENTRY
    return exports;
}

const SystemExport* FindSystemExport(const std::string& module, const std::string& routine) {
    for (const SystemExport& entry : SystemExports()) {
        if (strcasecmp(module.c_str(), entry.Module) == 0 && routine == entry.Routine) {
            return IsOffered(entry.Routine) ? &entry : nullptr;
        }
    }
    return nullptr;
}

bool ResolveSystemExport(const std::string& module, const std::string& routine,
                         uint32_t* address, std::string* problem) {
    if (!IsSystemModule(module)) {
        *problem = "imports " + routine + " from " + module +
                   ", which is not a system module the host provides (ntoskrnl.exe, hal.dll, "
                   "usbd.sys, stream.sys)";
        return false;
    }
    const SystemExport* found = FindSystemExport(module, routine);
    if (found == nullptr) {
        *problem = "imports " + routine + " from " + module + ", which exports no such routine";
        return false;
    }
    *address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(found->Address));
    return true;
}

}  // namespace host::image
