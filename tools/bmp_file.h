// 24-bit uncompressed Windows bitmaps, written exactly as the driver's output buffer lies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexacam::tools {

// Writes a BI_RGB bitmap of positive height (bottom-up) whose pixel array is Pixels as given:
// rows of 3 x Width bytes, blue-green-red. Rows are padded to 4 bytes only when 3 x Width is
// not a multiple of 4. The file appears whole or not at all (written beside it, then renamed).
// Returns an empty string on success, otherwise what went wrong.
std::string WriteBmp24(const std::string& path, uint32_t width, uint32_t height,
                       const std::vector<uint8_t>& pixels);

}  // namespace vexacam::tools
