#include "tools/serve/snapshot_store.h"

#include "tools/bmp_file.h"
#include "tools/png_file.h"
#include "tools/whole_file.h"

namespace vexacam::tools {

std::string SnapshotStore::Save(const FullPicture& picture, SnapshotKind kind, std::string* name,
                                std::vector<uint8_t>* bytes) {
    std::string file;
    std::string problem = names_.Next(kind == SnapshotKind::Bmp ? "bmp" : "png", &file);
    if (!problem.empty()) return problem;
    const std::string path = names_.Path(file);
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
    *name = file;
    return "";
}

}  // namespace vexacam::tools
