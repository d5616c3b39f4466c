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

// A fresh directory for a machine's state, "<base>/vexacam-<purpose>-XXXXXX", for tests,
// benchmarks and fuzzing, so that their settings and calibration files never meet the user's
// or another run's. Empty when it could not be made.
std::string MakeTemporaryMachineRoot(const std::string& purpose, const std::string& base = "/tmp");

// A temporary machine root for the object's life: made and set as the machine root; at the
// end the machine root returns to the environment's choice and the directory is removed.
class TemporaryMachineRoot {
public:
    explicit TemporaryMachineRoot(const std::string& purpose);
    ~TemporaryMachineRoot();
    TemporaryMachineRoot(const TemporaryMachineRoot&) = delete;
    TemporaryMachineRoot& operator=(const TemporaryMachineRoot&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Replaces the file's contents so that readers, and a crash at any moment, see either the old
// or the new contents in full: written beside it, flushed to disk, renamed over it.
bool WriteFileAtomically(const std::string& path, const std::string& contents);

}  // namespace host
