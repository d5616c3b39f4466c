// MmGetSystemRoutineAddress: a routine of the kernel or the HAL by its exported name, from the
// same export tables the image loader binds imports against.
#include "host/image/system_modules.h"
#include "host/registry/unicode_string.h"
#include "host/verifier/verifier.h"

// PASSIVE_LEVEL.
PVOID MmGetSystemRoutineAddress(PUNICODE_STRING SystemRoutineName) {
    host::VerifyPassiveLevel("MmGetSystemRoutineAddress");
    const std::string name = host::UnicodeStringToUtf8(SystemRoutineName);
    for (const char* module : {"ntoskrnl.exe", "hal.dll"}) {
        const host::image::SystemExport* found = host::image::FindSystemExport(module, name);
        if (found != nullptr) return const_cast<void*>(found->Address);
    }
    return nullptr;
}
