// Which files of a directory a run created or rewrote: a snapshot of names, sizes and
// modification times before, compared with the directory afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vexacam::tools {

struct WrittenFile {
    std::string Path;
    uint64_t Bytes = 0;
};

class DirectorySnapshot {
public:
    explicit DirectorySnapshot(std::string directory);
    // Files that are new or differ in size or time since the snapshot, by name.
    std::vector<WrittenFile> WrittenSince() const;

private:
    struct Entry {
        uint64_t Bytes;
        std::filesystem::file_time_type Time;
    };
    static std::map<std::string, Entry> Scan(const std::string& directory);

    std::string directory_;
    std::map<std::string, Entry> before_;
};

}  // namespace vexacam::tools
