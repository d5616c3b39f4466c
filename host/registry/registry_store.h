// The machine's registry for this process: one hive shared by every key handle, loaded from
// the registry file and written back to it atomically.
//
// The file is read again whenever another process has replaced it since we last looked (and we
// hold no unsaved changes), so two programs that run one after the other see each other's
// settings. Changes are written when the key handle that made them is closed or flushed, the
// way the kernel writes its hives lazily rather than on every value.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/registry/hive.h"

namespace host::registry {

// Runs fn on the current hive under the registry's lock. fn returns true when it changed
// something that must reach the file.
void UseHive(const std::function<bool(Hive&)>& fn);

// Writes pending changes to the registry file; true when the file is up to date afterwards.
bool FlushHive();

// Lines of the registry file that the last load skipped.
std::vector<std::string> HiveLoadWarnings();

// While held, changes stay in this process's memory and never reach the registry file, so a
// program that only reads settings leaves the file as it found it, even though the driver it
// brings up writes its settings back when it shuts down.
void HoldChangesInMemory(bool hold);

// Forgets the loaded hive so the next use reads the file again (tests simulating a restart).
void DiscardHive();

}  // namespace host::registry
