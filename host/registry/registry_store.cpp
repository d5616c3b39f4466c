#include "host/registry/registry_store.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>

#include "host/files/machine_root.h"
#include "host/registry/reg_file.h"

namespace host::registry {
namespace {

// Identity of the file as we last read or wrote it; a rename by anyone changes it.
struct FileStamp {
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    long long MtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

struct Store {
    std::mutex Mutex;
    bool Loaded = false;  // everything below is guarded by Mutex
    bool Dirty = false;
    bool Held = false;
    std::string Path;
    FileStamp Stamp;
    Hive Keys;
    std::vector<std::string> Warnings;
};

Store& TheStore() {
    static Store store;
    return store;
}

FileStamp StampOf(const std::string& path) {
    struct stat st;
    FileStamp stamp;
    if (::stat(path.c_str(), &st) != 0) return stamp;
    stamp.Exists = true;
    stamp.Device = st.st_dev;
    stamp.Inode = st.st_ino;
    stamp.Size = st.st_size;
    stamp.MtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return stamp;
}

void LoadLocked(Store& store, const std::string& path) {
    store.Path = path;
    store.Stamp = StampOf(path);
    store.Keys = Hive();
    store.Warnings.clear();
    store.Dirty = false;
    store.Loaded = true;
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    std::ostringstream text;
    text << in.rdbuf();
    ParsedRegFile parsed = ParseRegText(text.str());
    store.Keys = std::move(parsed.Keys);
    store.Warnings = std::move(parsed.Warnings);
    for (const std::string& warning : store.Warnings) {
        std::fprintf(stderr, "vexacam: %s: %s (skipped)\n", path.c_str(), warning.c_str());
    }
}

void RefreshLocked(Store& store) {
    const std::string path = RegistryFilePath();
    if (!store.Loaded || path != store.Path) return LoadLocked(store, path);
    if (!store.Dirty && !(StampOf(path) == store.Stamp)) LoadLocked(store, path);
}

bool FlushLocked(Store& store) {
    if (!store.Dirty || store.Held) return true;
    if (!MakeDirectories(MachineRoot())) return false;
    if (!WriteFileAtomically(store.Path, FormatRegText(store.Keys))) return false;
    store.Stamp = StampOf(store.Path);
    store.Dirty = false;
    return true;
}

}  // namespace

void UseHive(const std::function<bool(Hive&)>& fn) {
    Store& store = TheStore();
    std::lock_guard<std::mutex> lock(store.Mutex);
    RefreshLocked(store);
    if (fn(store.Keys)) store.Dirty = true;
}

bool FlushHive() {
    Store& store = TheStore();
    std::lock_guard<std::mutex> lock(store.Mutex);
    return FlushLocked(store);
}

std::vector<std::string> HiveLoadWarnings() {
    Store& store = TheStore();
    std::lock_guard<std::mutex> lock(store.Mutex);
    RefreshLocked(store);
    return store.Warnings;
}

void HoldChangesInMemory(bool hold) {
    Store& store = TheStore();
    std::lock_guard<std::mutex> lock(store.Mutex);
    store.Held = hold;
}

void DiscardHive() {
    Store& store = TheStore();
    std::lock_guard<std::mutex> lock(store.Mutex);
    store.Loaded = false;
    store.Dirty = false;
    store.Keys = Hive();
}

}  // namespace host::registry
