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
