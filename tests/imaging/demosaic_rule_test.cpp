// The demosaic pixel rule and where each variant places its rows and columns.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "demosaic_support.h"
#include "imaging/demosaic.h"

namespace vexacam::test {
namespace {

typedef VOID VARIANT(ULONG, ULONG, PUCHAR, const UCHAR*);

// One row of the placement table: memory row m = rowBase + rowSign * y, column u = x or
// W - 1 - x, for source position (y, x).
struct Placement {
    const char* name;
    VARIANT* run;
    bool grey;
    int rowBaseFromHeight;  // rowBase = H + rowBaseFromHeight when rowSign is -1, else itself
    int rowSign;
    bool mirroredColumns;
};

const Placement kPlacements[] = {
    {"ColourUpright", ColourUpright, false, -2, -1, false},
    {"GreyUpright", GreyUpright, true, -1, -1, false},
    {"ColourMirrored", ColourMirrored, false, -1, -1, true},
    {"GreyMirrored", GreyMirrored, true, -1, -1, true},
    {"ColourFlipped", ColourFlipped, false, 1, 1, false},
    {"GreyFlipped", GreyFlipped, true, 0, 1, false},
    {"ColourRotated", ColourRotated, false, 0, 1, true},
    {"GreyRotated", GreyRotated, true, 1, 1, true},
};

// The colour table written out per site: red, the two greens (own row first) and blue of the
// block at (y, x), read with linear addressing.
std::array<int, 4> SiteSamples(const std::vector<uint8_t>& f, uint32_t w, uint32_t y, uint32_t x) {
    auto s = [&](uint32_t row, uint32_t column) { return int{f[size_t{row} * w + column]}; };
    const bool oddRow = y & 1, oddColumn = x & 1;
    if (!oddRow && !oddColumn) return {s(y, x), s(y, x + 1), s(y + 1, x), s(y + 1, x + 1)};
    if (!oddRow && oddColumn) return {s(y, x + 1), s(y, x), s(y + 1, x + 1), s(y + 1, x)};
    if (oddRow && !oddColumn) return {s(y + 1, x), s(y, x), s(y + 1, x + 1), s(y, x + 1)};
    return {s(y + 1, x + 1), s(y, x + 1), s(y + 1, x), s(y, x)};
}

std::array<uint8_t, 3> ExpectedPixel(const std::array<int, 4>& rggb, bool grey) {
    const auto [r, gy, gy1, b] = rggb;
    if (grey) {
        const auto luma = static_cast<uint8_t>((306 * r + 301 * gy + 300 * gy1 + 117 * b) >> 10);
        return {luma, luma, luma};
    }
    return {static_cast<uint8_t>(b), static_cast<uint8_t>((gy + gy1) >> 1), static_cast<uint8_t>(r)};
}

TEST(DemosaicPlacement, EverySourcePositionLandsWhereItsVariantPutsIt) {
    const FrameSize size{16, 8};
    const auto frame = RandomBytes(size.width * size.height, 77);
    for (const auto& placement : kPlacements) {
        std::vector<uint8_t> picture(size.width * size.height * 3, 0);
        placement.run(size.width, size.height, picture.data(), frame.data());
        const int rowBase = placement.rowSign < 0 ? int(size.height) + placement.rowBaseFromHeight
                                                  : placement.rowBaseFromHeight;
        for (uint32_t y = 0; y + 2 < size.height; ++y) {
            for (uint32_t x = 0; x < size.width; ++x) {
                const uint32_t m = rowBase + placement.rowSign * int(y);
                const uint32_t u = placement.mirroredColumns ? size.width - 1 - x : x;
                const auto expected = ExpectedPixel(SiteSamples(frame, size.width, y, x), placement.grey);
                const size_t at = PixelOffset(size.width, m, u);
                ASSERT_EQ(picture[at + 0], expected[0]) << placement.name << " y " << y << " x " << x;
                ASSERT_EQ(picture[at + 1], expected[1]) << placement.name << " y " << y << " x " << x;
                ASSERT_EQ(picture[at + 2], expected[2]) << placement.name << " y " << y << " x " << x;
            }
        }
    }
}

TEST(DemosaicPlacement, LeavesTheTwoUncomputedRowsForEdgeRepair) {
    const FrameSize size{16, 6};
    const auto frame = RandomBytes(size.width * size.height, 3);
    for (const auto& placement : kPlacements) {
        std::vector<uint8_t> picture(size.width * size.height * 3, 0xEE);
        placement.run(size.width, size.height, picture.data(), frame.data());
        int untouchedRows = 0;
        for (uint32_t m = 0; m < size.height; ++m) {
            const auto first = picture.begin() + PixelOffset(size.width, m, 0);
            untouchedRows += std::all_of(first, first + size.width * 3, [](uint8_t b) { return b == 0xEE; });
        }
        EXPECT_EQ(untouchedRows, 2) << placement.name;
    }
}

// A frame whose red sites hold red, green sites green and blue sites blue.
std::vector<uint8_t> BayerFrame(FrameSize size, uint8_t red, uint8_t greenOnRed, uint8_t greenOnBlue,
                                uint8_t blue) {
    std::vector<uint8_t> frame(size.width * size.height);
    for (uint32_t y = 0; y < size.height; ++y) {
        for (uint32_t x = 0; x < size.width; ++x) {
            const bool oddRow = y & 1, oddColumn = x & 1;
            frame[y * size.width + x] = !oddRow ? (!oddColumn ? red : greenOnRed)
                                                : (!oddColumn ? greenOnBlue : blue);
        }
    }
    return frame;
}

TEST(DemosaicPixelRule, WorkedExamples) {
    struct Case {
        const char* reason;
        uint8_t red, greenOnRed, greenOnBlue, blue;
        std::array<uint8_t, 3> colour;  // blue, green, red
        uint8_t grey;
    };
    const Case cases[] = {
        {"uniform frame stays uniform", 77, 77, 77, 77, {77, 77, 77}, 77},
        {"uniform white cannot overflow the grey weights", 255, 255, 255, 255, {255, 255, 255}, 255},
        {"red 200, greens 100, blue 50", 200, 100, 100, 50, {50, 100, 200}, 124},
        // Grey: (3,060 + 60,401 or 60,400 + 2,340) >> 10 = 64 on both row parities.
        {"greens 101 and 100 average down to 100", 10, 101, 100, 20, {20, 100, 10}, 64},
    };
    const FrameSize size{32, 8};
    for (const auto& c : cases) {
        const auto frame = BayerFrame(size, c.red, c.greenOnRed, c.greenOnBlue, c.blue);
        std::vector<uint8_t> colour(size.width * size.height * 3), grey(colour.size());
        ColourUpright(size.width, size.height, colour.data(), frame.data());
        GreyUpright(size.width, size.height, grey.data(), frame.data());
        // Source columns 0 .. W - 2 of every computed row; column W - 1 wraps into the next rows.
        for (uint32_t y = 0; y + 2 < size.height; ++y) {
            for (uint32_t x = 0; x + 1 < size.width; ++x) {
                const size_t c0 = PixelOffset(size.width, size.height - 2 - y, x);
                ASSERT_EQ(colour[c0 + 0], c.colour[0]) << c.reason;
                ASSERT_EQ(colour[c0 + 1], c.colour[1]) << c.reason;
                ASSERT_EQ(colour[c0 + 2], c.colour[2]) << c.reason;
                const size_t g0 = PixelOffset(size.width, size.height - 1 - y, x);
                ASSERT_EQ(grey[g0], c.grey) << c.reason;
                ASSERT_EQ(grey[g0 + 1], c.grey) << c.reason;
                ASSERT_EQ(grey[g0 + 2], c.grey) << c.reason;
            }
        }
    }
}

TEST(DemosaicPixelRule, LastColumnTakesTheNextRowsFirstSamples) {
    // VideoModel 0 (rotated): output column 0 holds raw column W - 1, whose block reads
    // S(y + 1, 0) and S(y + 2, 0).
    const FrameSize size{8, 4};
    std::vector<uint8_t> frame(size.width * size.height, 0);
    frame[0 * 8 + 7] = 40;  // S(0, 7): green on the red row, Gy at x = 7
    frame[1 * 8 + 0] = 90;  // S(1, 0) = S(0, 8): red at x = 7 by position
    frame[1 * 8 + 7] = 60;  // S(1, 7): blue
    frame[2 * 8 + 0] = 30;  // S(2, 0) = S(1, 8): Gy1
    std::vector<uint8_t> picture(size.width * size.height * 3, 0);
    Demosaic(size.width, size.height, picture.data(), frame.data(), 0, 0);
    const size_t at = PixelOffset(size.width, 0, 0);
    EXPECT_EQ(picture[at + 0], 60);
    EXPECT_EQ(picture[at + 1], (40 + 30) >> 1);
    EXPECT_EQ(picture[at + 2], 90);
}

TEST(DemosaicSelection, BWPreviewAndVideoModelPickTheVariant) {
    struct Case {
        uint32_t bwPreview;
        uint8_t videoModel;
        VARIANT* expected;
    };
    const Case cases[] = {
        {0, 1, ColourUpright}, {0, 2, ColourMirrored}, {0, 3, ColourFlipped}, {0, 4, ColourRotated},
        {0, 0, ColourRotated}, {0, 255, ColourRotated}, {1, 1, GreyUpright}, {7, 2, GreyMirrored},
        {1, 3, GreyFlipped},   {1, 0, GreyRotated},     {1, 9, GreyRotated},
    };
    const FrameSize size{16, 6};
    const auto frame = RandomBytes(size.width * size.height, 9);
    for (const auto& c : cases) {
        std::vector<uint8_t> chosen(size.width * size.height * 3, 1), direct(chosen.size(), 1);
        Demosaic(size.width, size.height, chosen.data(), frame.data(), c.bwPreview, c.videoModel);
        c.expected(size.width, size.height, direct.data(), frame.data());
        EXPECT_TRUE(chosen == direct) << "BWPreview " << c.bwPreview << " VideoModel " << int{c.videoModel};
    }
}

}  // namespace
}  // namespace vexacam::test
