// Files that appear whole or not at all: written beside the target under a ".partial" name,
// then renamed over it, so a reader never sees half a picture and a failed write leaves nothing.
// And files read whole, with a one-line reason when they cannot be.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace vexacam::tools {

// Fills the open file; returns an empty string on success, otherwise why it failed.
using FileFiller = std::function<std::string(std::FILE* out)>;

// Creates Path through Fill. Empty string on success, otherwise "cannot create PATH: ..." or
// "cannot write PATH: ..."; on failure the partial file is removed.
std::string WriteWholeFile(const std::string& path, const FileFiller& fill);

// Creates Path holding Bytes.
std::string WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Reads the regular file at Path into Bytes. Empty string on success, otherwise
// "cannot read PATH: ..." (a directory, a missing file, a read error).
std::string ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);

}  // namespace vexacam::tools
