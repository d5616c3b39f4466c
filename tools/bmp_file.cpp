#include "tools/bmp_file.h"

#include "tools/whole_file.h"

namespace vexacam::tools {
namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> Headers(uint32_t width, uint32_t height, uint32_t imageBytes) {
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    PutLe(out, kFileHeaderBytes + kInfoHeaderBytes + imageBytes, 4);  // bfSize
    PutLe(out, 0, 4);                                                  // bfReserved1, 2
    PutLe(out, kFileHeaderBytes + kInfoHeaderBytes, 4);                // bfOffBits
    PutLe(out, kInfoHeaderBytes, 4);                                   // biSize
    PutLe(out, width, 4);
    PutLe(out, height, 4);  // positive: bottom-up rows
    PutLe(out, 1, 2);       // biPlanes
    PutLe(out, 24, 2);      // biBitCount
    PutLe(out, 0, 4);       // BI_RGB
    PutLe(out, imageBytes, 4);
    PutLe(out, 0, 4);  // biXPelsPerMeter
    PutLe(out, 0, 4);  // biYPelsPerMeter
    PutLe(out, 0, 4);  // biClrUsed
    PutLe(out, 0, 4);  // biClrImportant
    return out;
}

}  // namespace

std::string WriteBmp24(const std::string& path, uint32_t width, uint32_t height,
                       const std::vector<uint8_t>& pixels) {
    const size_t rowBytes = size_t{width} * 3;
    const size_t stride = (rowBytes + 3) & ~size_t{3};
    if (pixels.size() < rowBytes * height) return "picture smaller than its size";
    std::vector<uint8_t> file = Headers(width, height, static_cast<uint32_t>(stride * height));
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* first = pixels.data() + row * rowBytes;
        file.insert(file.end(), first, first + rowBytes);
        file.insert(file.end(), stride - rowBytes, 0);
    }
    return WriteWholeFile(path, file);
}

}  // namespace vexacam::tools
