// 24-bit PNG pictures of the driver's output buffer, through libpng.
#pragma once

#include <cstdint>
#include <string>

namespace vexacam::tools {

// Writes Width x Height pixels given as the driver delivers them (bottom-up rows of
// 3 x Width bytes, blue-green-red) as an 8-bit RGB PNG, top row first. Fast compression: the
// capture writes these in real time. The file appears whole or not at all.
// Returns an empty string on success, otherwise what went wrong.
std::string WritePng24(const std::string& path, uint32_t width, uint32_t height,
                       const uint8_t* bottomUpBgr);

}  // namespace vexacam::tools
