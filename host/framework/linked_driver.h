// The driver linked into the program. The system finds a driver by its entry point, the one
// symbol every driver exports, so a program needs nothing else of the driver's to load it.
// Inline, so that only programs that load the linked driver refer to its entry.
#pragma once

#include "host/framework/client.h"

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);

namespace host {

inline NTSTATUS LoadedDriver::LoadLinked(std::unique_ptr<LoadedDriver>* driver) {
    return Load(DriverEntry, driver);
}

}  // namespace host
