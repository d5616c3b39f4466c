#include "tools/whole_file.h"

#include <cerrno>
#include <cstring>

namespace vexacam::tools {

std::string WriteWholeFile(const std::string& path, const FileFiller& fill) {
    const std::string temporary = path + ".partial";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr) return "cannot create " + path + ": " + std::strerror(errno);
    const std::string fillFailure = fill(out);
    const bool closed = std::fclose(out) == 0;
    if (!fillFailure.empty() || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = fillFailure.empty() ? std::strerror(errno) : fillFailure;
        std::remove(temporary.c_str());
        return "cannot write " + path + ": " + reason;
    }
    return "";
}

std::string WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    return WriteWholeFile(path, [&bytes](std::FILE* out) -> std::string {
        if (std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size()) return "";
        return std::strerror(errno);
    });
}

}  // namespace vexacam::tools

namespace vexacam::tools {

std::string ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    bytes->clear();
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) return "cannot read " + path + ": " + std::strerror(errno);
    uint8_t block[65536];
    std::string problem;
    for (;;) {
        const size_t got = std::fread(block, 1, sizeof(block), in);
        bytes->insert(bytes->end(), block, block + got);
        if (got < sizeof(block)) {
            if (std::ferror(in)) problem = "cannot read " + path + ": " + std::strerror(errno);
            break;
        }
    }
    std::fclose(in);
    return problem;
}

}  // namespace vexacam::tools
