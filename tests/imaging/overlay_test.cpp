// Crosshair position, clamps and widths, and the busy marker's tint and bounds.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "demosaic_support.h"
#include "imaging/overlays.h"

namespace vexacam::test {
namespace {

bool IsRed(const std::vector<uint8_t>& picture, uint32_t width, uint32_t m, uint32_t u) {
    const size_t at = PixelOffset(width, m, u);
    return picture[at] == 0 && picture[at + 1] == 0 && picture[at + 2] == 255;
}

// Rows that are red across columns 0 .. W - 3, and columns red across rows 0 .. H - 2.
std::pair<std::set<uint32_t>, std::set<uint32_t>> FindLines(const std::vector<uint8_t>& picture,
                                                            uint32_t width, uint32_t height) {
    std::set<uint32_t> rows, columns;
    for (uint32_t m = 0; m < height; ++m) {
        bool all = true;
        for (uint32_t u = 0; u + 2 < width && all; ++u) all = IsRed(picture, width, m, u);
        if (all) rows.insert(m);
    }
    for (uint32_t u = 0; u < width; ++u) {
        bool all = true;
        for (uint32_t m = 0; m + 1 < height && all; ++m) all = IsRed(picture, width, m, u);
        if (all) columns.insert(u);
    }
    return {rows, columns};
}

TEST(DrawCrosshair, PositionClampAndWidth) {
    struct Case {
        const char* reason;
        uint32_t width, height, crossX, crossY, crossMid;
        std::set<uint32_t> rows, columns;
    };
    const Case cases[] = {
        {"centre of 1280x1024, both lines two wide", 1280, 1024, 0, 0, 1, {512, 513}, {640, 641}},
        {"CrossX 1 clamps to row H - 2, CrossY 0 to column 1", 640, 480, 1, 0, 0, {478}, {1}},
        {"CrossX beyond H goes negative and clamps to row 1", 640, 480, 900, 10, 0, {1}, {10}},
        {"CrossY beyond W clamps to W - 2", 640, 480, 240, 5000, 0, {240}, {638}},
        {"CrossX 0 gives row H, clamped to H - 2", 640, 480, 0, 320, 0, {478}, {320}},
        {"CrossMid ignores CrossX and CrossY", 800, 600, 7, 7, 1, {300}, {400}},
        {"2048 wide: second column right of u; 1536 high: second row above", 2048, 1536, 100, 50, 0,
         {1436, 1437}, {50, 51}},
        {"CrossX near 2^32 wraps to a row above the picture and clamps to H - 2", 640, 480,
         0xFFFFFF00u, 3, 0, {478}, {3}},
        {"CrossX 2^31 gives a negative row, clamped to 1", 640, 480, 0x80000000u, 3, 0, {1}, {3}},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> picture(size_t{c.width} * c.height * 3, 128);
        DrawCrosshair(c.width, c.height, picture.data(), c.crossX, c.crossY, c.crossMid);
        const auto [rows, columns] = FindLines(picture, c.width, c.height);
        EXPECT_EQ(rows, c.rows) << c.reason;
        EXPECT_EQ(columns, c.columns) << c.reason;
    }
}

TEST(DrawCrosshair, LeavesTopRowAndLastTwoColumnsUndrawn) {
    const uint32_t width = 640, height = 480;
    std::vector<uint8_t> picture(width * height * 3, 128);
    DrawCrosshair(width, height, picture.data(), 0, 0, 1);
    EXPECT_FALSE(IsRed(picture, width, height - 1, width / 2)) << "top row of the vertical line";
    EXPECT_FALSE(IsRed(picture, width, height / 2, width - 2)) << "horizontal line stops at W - 3";
    EXPECT_FALSE(IsRed(picture, width, height / 2, width - 1));
    EXPECT_TRUE(IsRed(picture, width, height / 2, width - 3));
}

TEST(DrawCrosshair, TinyPicturesAreNotWrittenOutsideTheBuffer) {
    for (uint32_t side : {0u, 1u, 2u}) {
        std::vector<uint8_t> picture(side * side * 3 + 8, 9);
        DrawCrosshair(side, side, picture.data(), 0, 0, 1);
        EXPECT_EQ(picture, std::vector<uint8_t>(picture.size(), 9)) << side;
    }
}

TEST(DrawBusyMarker, TintsTheSquareModulo256) {
    const uint32_t width = 640, height = 480;
    std::vector<uint8_t> picture(width * height * 3);
    for (size_t i = 0; i < picture.size(); i += 3) {
        picture[i] = 200;
        picture[i + 1] = 50;
        picture[i + 2] = 10;
    }
    DrawBusyMarker(width, height, picture.data());
    size_t tinted = 0;
    for (uint32_t m = 0; m < height; ++m) {
        for (uint32_t u = 0; u < width; ++u) {
            const bool inside = m >= height - 100 && m < height - 60 && u >= width - 100 && u < width - 60;
            const size_t at = PixelOffset(width, m, u);
            if (inside) {
                ++tinted;
                ASSERT_EQ(picture[at], 44);
                ASSERT_EQ(picture[at + 1], 150);
                ASSERT_EQ(picture[at + 2], 110);
            } else {
                ASSERT_EQ(picture[at], 200) << m << "," << u;
            }
        }
    }
    EXPECT_EQ(tinted, 1600u);
}

TEST(DrawBusyMarker, PicturesUnder100PixelsGetNoMarker) {
    const struct {
        uint32_t width, height;
        bool drawn;
    } cases[] = {{100, 100, true}, {99, 480, false}, {640, 99, false},
                 {59, 59, false},  {8, 4, false},    {0, 0, false}};
    for (const auto& c : cases) {
        std::vector<uint8_t> picture(size_t{c.width} * c.height * 3 + 64, 1);
        DrawBusyMarker(c.width, c.height, picture.data());
        const bool changed = picture != std::vector<uint8_t>(picture.size(), 1);
        EXPECT_EQ(changed, c.drawn) << c.width << "x" << c.height;
    }
}

}  // namespace
}  // namespace vexacam::test
