// The directory that holds this machine's persistent state: the registry file and SystemRoot/.
// Chosen, first match wins: SetMachineRoot, the environment variable VEXACAM_MACHINE_ROOT,
// $XDG_STATE_HOME/vexacam, ~/.local/state/vexacam.
#pragma once

#include <string>

namespace host {

std::string MachineRoot();
// An empty path returns to the environment's choice. Tests point this at a temporary directory.
void SetMachineRoot(const std::string& path);

// <root>/registry.reg
std::string RegistryFilePath();
// <root>/SystemRoot, where \SystemRoot\... names lead.
std::string SystemRootPath();

// Creates the directory and its missing parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);

// Replaces the file's contents so that readers, and a crash at any moment, see either the old
// or the new contents in full: written beside it, flushed to disk, renamed over it.
bool WriteFileAtomically(const std::string& path, const std::string& contents);

}  // namespace host
