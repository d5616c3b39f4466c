#include "tools/serve/snapshot_store.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/bmp_file.h"
#include "tools/png_file.h"
#include "tools/whole_file.h"

namespace vexacam::tools {
namespace {

// The number of a "snapshot-NNNN.xxx" name, or 0.
uint32_t SnapshotNumber(const std::string& name) {
    unsigned number = 0;
    char extension[8] = {};
    if (std::sscanf(name.c_str(), "snapshot-%u.%3s", &number, extension) != 2) return 0;
    return number;
}

}  // namespace

SnapshotStore::SnapshotStore(std::string directory) : directory_(std::move(directory)) {}

std::string SnapshotStore::Save(const FullPicture& picture, SnapshotKind kind, std::string* name,
                                std::vector<uint8_t>* bytes) {
    std::lock_guard<std::mutex> hold(lock_);
    std::error_code error;
    std::filesystem::create_directories(directory_, error);
    if (error) return "cannot create " + directory_ + ": " + error.message();
    if (next_ == 0) {
        next_ = 1;
        for (const auto& entry : std::filesystem::directory_iterator(directory_, error)) {
            const uint32_t number = SnapshotNumber(entry.path().filename().string());
            if (number >= next_) next_ = number + 1;
        }
    }
    char file[32];
    std::snprintf(file, sizeof(file), "snapshot-%04u.%s", next_, kind == SnapshotKind::Bmp ? "bmp" : "png");
    const std::string path = directory_ + "/" + file;
    std::string problem;
    if (kind == SnapshotKind::Bmp) {
        problem = WriteBmp24(path, picture.Width, picture.Height, picture.Pixels);
    } else {
#ifdef VEXACAM_WITHOUT_PNG
        problem = "this build writes no PNG pictures";
#else
        problem = WritePng24(path, picture.Width, picture.Height, picture.Pixels.data());
#endif
    }
    if (problem.empty()) problem = ReadWholeFile(path, bytes);
    if (!problem.empty()) return problem;
    ++next_;
    *name = file;
    return "";
}

}  // namespace vexacam::tools
