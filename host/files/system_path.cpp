#include "host/files/system_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

#include "host/files/machine_root.h"
#include "host/registry/hive.h"
#include "platform/registry.h"

namespace host {
namespace {

// The existing entry of `dir` whose name matches `name` ignoring case, else `name` itself.
std::string MatchEntry(const std::string& dir, const std::string& name) {
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr) return name;
    std::string found = name;
    const std::string folded = registry::FoldCase(name);
    while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_name == name) {
            found = name;
            break;
        }
        if (registry::FoldCase(entry->d_name) == folded) found = entry->d_name;
    }
    ::closedir(listing);
    return found;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

NTSTATUS ResolveSystemPath(const std::string& kernel_name, std::string* host_path) {
    const std::vector<std::string> parts = registry::SplitPath(kernel_name);
    if (kernel_name.empty() || kernel_name[0] != '\\' || parts.size() < 2 ||
        registry::FoldCase(parts[0]) != "SYSTEMROOT") {
        return STATUS_OBJECT_NAME_INVALID;
    }
    for (size_t i = 1; i < parts.size(); ++i) {
        if (parts[i] == "." || parts[i] == ".." || parts[i].find('/') != std::string::npos ||
            parts[i].find('\0') != std::string::npos) {
            return STATUS_OBJECT_NAME_INVALID;
        }
    }
    // The system directory always exists on a real machine.
    std::string path = SystemRootPath();
    if (!MakeDirectories(path)) return STATUS_OBJECT_PATH_NOT_FOUND;
    for (size_t i = 1; i < parts.size(); ++i) {
        if (i > 1 && !IsDirectory(path)) return STATUS_OBJECT_PATH_NOT_FOUND;
        path += "/" + MatchEntry(path, parts[i]);
    }
    *host_path = path;
    return STATUS_SUCCESS;
}

}  // namespace host
