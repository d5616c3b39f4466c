#include "tools/written_files.h"

#include <system_error>

namespace vexacam::tools {

DirectorySnapshot::DirectorySnapshot(std::string directory)
    : directory_(std::move(directory)), before_(Scan(directory_)) {}

std::map<std::string, DirectorySnapshot::Entry> DirectorySnapshot::Scan(const std::string& directory) {
    std::map<std::string, Entry> entries;
    std::error_code failure;
    for (const auto& item : std::filesystem::directory_iterator(directory, failure)) {
        std::error_code ignored;
        if (!item.is_regular_file(ignored)) continue;
        entries[item.path().string()] = {static_cast<uint64_t>(item.file_size(ignored)),
                                         item.last_write_time(ignored)};
    }
    return entries;
}

std::vector<WrittenFile> DirectorySnapshot::WrittenSince() const {
    std::vector<WrittenFile> written;
    for (const auto& [path, entry] : Scan(directory_)) {
        auto old = before_.find(path);
        if (old != before_.end() && old->second.Bytes == entry.Bytes && old->second.Time == entry.Time) {
            continue;
        }
        written.push_back({path, entry.Bytes});
    }
    return written;
}

}  // namespace vexacam::tools
