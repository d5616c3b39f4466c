// Snapshots of the newest picture, kept in the directory the program was given
// (--output): snapshot-NNNN.bmp or .png, numbered on from the highest one already there, so
// no request names a file and none is overwritten.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tools/serve/preview_hub.h"

namespace vexacam::tools {

enum class SnapshotKind { Bmp, Png };

class SnapshotStore {
public:
    explicit SnapshotStore(std::string directory);

    // Writes the picture and reads the file back. "" on success (Name and Bytes set),
    // otherwise why it failed.
    std::string Save(const FullPicture& picture, SnapshotKind kind, std::string* name, std::vector<uint8_t>* bytes);

private:
    std::string directory_;
    std::mutex lock_;  // guards next_
    uint32_t next_ = 0;  // 0: not looked up yet
};

}  // namespace vexacam::tools
