// The host's stand-ins for the system modules a driver image imports from (ntoskrnl.exe,
// hal.dll, usbd.sys, stream.sys): their export tables, looked up by module and routine name
// as the system loader binds imports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host::image {

struct SystemExport {
    const char* Module;   // as the system names it, e.g. "ntoskrnl.exe"
    const char* Routine;  // exactly as the module exports it
    const void* Address;  // the host's implementation
};

const std::vector<SystemExport>& SystemExports();

// Module names compare without regard to case, as the system's do; routine names exactly.
// Null when the module or the routine is unknown, or the routine is not offered now.
const SystemExport* FindSystemExport(const std::string& module, const std::string& routine);

// Binds to the host's implementations: on failure *problem names the module and the routine.
// The addresses are 32-bit only in the 32-bit build, the one that runs images.
bool ResolveSystemExport(const std::string& module, const std::string& routine,
                         uint32_t* address, std::string* problem);

}  // namespace host::image
