#include "tools/png_file.h"

#if defined(VEXACAM_WITHOUT_PNG)

namespace vexacam::tools {

std::string WritePng24(const std::string& path, uint32_t, uint32_t, const uint8_t*) {
    return "cannot write " + path + ": this build of vexacam writes no PNG pictures";
}

}  // namespace vexacam::tools

#else

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "tools/whole_file.h"

namespace vexacam::tools {
namespace {

// libpng reports errors by longjmp; nothing with a destructor may live between the setjmp and
// the calls that can jump, so the row table is built by the caller.
bool Encode(std::FILE* out, uint32_t width, uint32_t height, png_bytepp rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, out);
    png_set_compression_level(png, Z_BEST_SPEED);
    // One filter instead of trying all five per row: a third of the time for photographs,
    // a few per cent larger.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::string WritePng24(const std::string& path, uint32_t width, uint32_t height,
                       const uint8_t* bottomUpBgr) {
    if (width == 0 || height == 0) return "cannot write " + path + ": empty picture";
    std::vector<png_bytep> rows(height);
    const size_t rowBytes = size_t{width} * 3;
    for (uint32_t y = 0; y < height; ++y) {
        // The first row in the buffer is the bottom of the picture.
        rows[y] = const_cast<png_bytep>(bottomUpBgr + (height - 1 - y) * rowBytes);
    }
    return WriteWholeFile(path, [&](std::FILE* out) -> std::string {
        return Encode(out, width, height, rows.data()) ? "" : "PNG encoding failed";
    });
}

}  // namespace vexacam::tools

#endif  // VEXACAM_WITHOUT_PNG
