#include "host/files/machine_root.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace host {
namespace {

std::mutex g_root_mutex;
std::string g_root_override;  // guarded by g_root_mutex

std::string EnvironmentRoot() {
    if (const char* root = std::getenv("VEXACAM_MACHINE_ROOT"); root && *root) return root;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) {
        return std::string(state) + "/vexacam";
    }
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/state/vexacam";
}

bool WriteAll(int fd, const std::string& contents) {
    size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The rename itself must reach the disk too, or a power cut can bring the old name back.
void SyncDirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string MachineRoot() {
    std::lock_guard<std::mutex> lock(g_root_mutex);
    return g_root_override.empty() ? EnvironmentRoot() : g_root_override;
}

void SetMachineRoot(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_root_mutex);
    g_root_override = path;
}

std::string RegistryFilePath() { return MachineRoot() + "/registry.reg"; }

std::string SystemRootPath() { return MachineRoot() + "/SystemRoot"; }

std::string MakeTemporaryMachineRoot(const std::string& purpose, const std::string& base) {
    std::string pattern = base + "/vexacam-" + purpose + "-XXXXXX";
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

TemporaryMachineRoot::TemporaryMachineRoot(const std::string& purpose)
    : path_(MakeTemporaryMachineRoot(purpose)) {
    SetMachineRoot(path_);
}

TemporaryMachineRoot::~TemporaryMachineRoot() {
    SetMachineRoot("");
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return false;
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = slash == std::string::npos ? path : path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteFileAtomically(const std::string& path, const std::string& contents) {
    static std::atomic<unsigned> counter{0};
    const std::string temp =
        path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, contents) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectoryOf(path);
    return true;
}

}  // namespace host
