// Snapshots of the newest picture, kept in the directory the program was given
// (--output) as snapshot-NNNN.bmp or .png.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/serve/numbered_files.h"
#include "tools/serve/preview_hub.h"

namespace vexacam::tools {

enum class SnapshotKind { Bmp, Png };

class SnapshotStore {
public:
    explicit SnapshotStore(const std::string& directory) : names_(directory, "snapshot") {}

    // Writes the picture and reads the file back. "" on success (Name and Bytes set),
    // otherwise why it failed.
    std::string Save(const FullPicture& picture, SnapshotKind kind, std::string* name, std::vector<uint8_t>* bytes);

private:
    NumberedFiles names_;
};

}  // namespace vexacam::tools
