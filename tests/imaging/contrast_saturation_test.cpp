// Colour gains, contrast with its colour adjustments, and saturation: worked examples.
#include <gtest/gtest.h>

#include <array>

#include "colour_stage_support.h"
#include "imaging/colour_gains.h"
#include "imaging/contrast.h"
#include "imaging/gain_table.h"
#include "imaging/saturation.h"

namespace vexacam::test {
namespace {

using colour::UniformFrame;

constexpr ULONG kWidth = 64, kHeight = 12;

std::array<UCHAR, 256> Identity() {
    std::array<UCHAR, 256> table;
    for (int i = 0; i < 256; ++i) table[i] = static_cast<UCHAR>(i);
    return table;
}

TEST(ApplyColourGains, IdentityTablesLeaveTheFrame) {
    std::mt19937 random(3);
    auto frame = colour::RandomBytes(kWidth * kHeight, random);
    const auto before = frame;
    const auto identity = Identity();
    ApplyColourGains(kWidth, kHeight, frame.data(), identity.data(), identity.data(), identity.data());
    EXPECT_EQ(frame, before);
}

TEST(ApplyColourGains, EachSiteUsesTheTableOfItsColour) {
    std::array<UCHAR, 256> red, green, blue;
    red.fill(1);
    SetGain(green.data(), 1000);
    blue.fill(3);
    for (VECTOR_LEVEL level : {VectorLevelScalar, VectorLevelAvx512}) {
        colour::VectorLevelScope scope(level);
        auto frame = UniformFrame({kWidth, kHeight}, 128);
        frame[kWidth + 2] = 100;
        ApplyColourGains(kWidth, kHeight, frame.data(), red.data(), green.data(), blue.data());
        EXPECT_EQ(frame[0], 1) << "red at even row, even column";
        EXPECT_EQ(frame[1], 255) << "green table x2 maps 128 to 255";
        EXPECT_EQ(frame[kWidth], 255) << "green at odd row, even column";
        EXPECT_EQ(frame[kWidth + 2], 200) << "green x2 of 100";
        EXPECT_EQ(frame[kWidth + 1], 3) << "blue at odd row, odd column";
    }
}

UCHAR ContrastOfUniform(UCHAR level, UCHAR contrast, ULONG type = ColourAdjustNone) {
    auto frame = UniformFrame({kWidth, kHeight}, level);
    AdjustContrast(kWidth, kHeight, frame.data(), frame.data(), contrast, type);
    return frame[5 * kWidth + 9];
}

TEST(AdjustContrast, StretchesAboutMidGrey) {
    struct Case {
        UCHAR level, contrast, result;
        const char* reason;
    };
    const Case cases[] = {
        {128, 32, 128, "mid-grey is the pivot"}, {64, 32, 0, ""}, {192, 32, 255, ""},
        {100, 32, 72, "(100 - 128) x 2 + 128"}, {77, 16, 77, "16 is neutral"},
        {200, 20, 218, "offset -32: 200 x 20 / 16 - 32"}, {0, 20, 0, "offset -32 clamps at 0"},
        {200, 8, 164, "half contrast"}, {10, 0, 128, "contrast 0 flattens to mid-grey"},
        {255, 1, 128 - 8 + 15, "contrast 1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ContrastOfUniform(c.level, c.contrast), c.result) << c.reason;
    }
}

TEST(AdjustContrast, OutOfRangeContrastActsAsTheSteepestThatFits) {
    // 200 would overflow the 16-bit products; it acts as 128 (64 with the green emphasis).
    for (UCHAR level : {0, 100, 127, 128, 129, 200, 255}) {
        EXPECT_EQ(ContrastOfUniform(level, 200), ContrastOfUniform(level, MaxContrast)) << int{level};
        EXPECT_EQ(ContrastOfUniform(level, 255, ColourAdjustGreenEmphasis),
                  ContrastOfUniform(level, MaxContrastWithEmphasis, ColourAdjustGreenEmphasis))
            << int{level};
    }
}

TEST(AdjustContrast, KeepsTheTwoOuterRowsOnEachSide) {
    std::mt19937 random(9);
    for (ULONG type : {ColourAdjustNone, ColourAdjustGreenEmphasis, ColourAdjustSeparate}) {
        auto frame = colour::RandomBytes(kWidth * kHeight, random);
        const auto before = frame;
        AdjustContrast(kWidth, kHeight, frame.data(), frame.data(), 28, type);
        for (ULONG row : {0u, 1u, kHeight - 2, kHeight - 1}) {
            for (ULONG x = 0; x < kWidth; ++x) {
                ASSERT_EQ(frame[row * kWidth + x], before[row * kWidth + x]) << "row " << row;
            }
        }
    }
}

TEST(AdjustContrast, NeutralWithoutAdjustmentChangesNothing) {
    std::mt19937 random(2);
    auto frame = colour::RandomBytes(kWidth * kHeight, random);
    const auto before = frame;
    AdjustContrast(kWidth, kHeight, frame.data(), frame.data(), NeutralContrast, 7);
    EXPECT_EQ(frame, before) << "unknown types act as contrast only";
}

TEST(AdjustContrast, GreenEmphasisOnAFlatAreaKeepsTheLevel) {
    EXPECT_EQ(ContrastOfUniform(90, 16, ColourAdjustGreenEmphasis), 90);
}

TEST(AdjustContrast, GreenEmphasisDoublesAGreenSpike) {
    // A green of 100 amid 50s: A = 50, v + (v - A) = 150, then neutral contrast.
    auto frame = UniformFrame({kWidth, kHeight}, 50);
    frame[4 * kWidth + 9] = 100;  // even row, odd column: green
    frame[4 * kWidth + 20] = 100;  // even row, even column: red, untouched by the emphasis
    AdjustContrast(kWidth, kHeight, frame.data(), frame.data(), 16, ColourAdjustGreenEmphasis);
    EXPECT_EQ(frame[4 * kWidth + 9], 150);
    EXPECT_EQ(frame[4 * kWidth + 20], 100);
}

TEST(AdjustContrast, SourceOtherThanDestinationIsCopiedFirst) {
    std::mt19937 random(4);
    const auto source = colour::RandomBytes(kWidth * kHeight, random);
    auto inPlace = source;
    std::vector<UCHAR> copy(source.size(), 0);
    AdjustContrast(kWidth, kHeight, inPlace.data(), inPlace.data(), 24, ColourAdjustGreenEmphasis);
    AdjustContrast(kWidth, kHeight, source.data(), copy.data(), 24, ColourAdjustGreenEmphasis);
    EXPECT_EQ(copy, inPlace);
}

struct Block {
    UCHAR red, green1, green2, blue;
};

Block SeparateBlockAt(Block block) {
    auto frame = UniformFrame({16, 8}, 0);
    frame[2 * 16 + 4] = block.red;
    frame[2 * 16 + 5] = block.green1;
    frame[3 * 16 + 4] = block.green2;
    frame[3 * 16 + 5] = block.blue;
    SeparateColours(16, 8, frame.data());
    return {frame[2 * 16 + 4], frame[2 * 16 + 5], frame[3 * 16 + 4], frame[3 * 16 + 5]};
}

TEST(SeparateColours, WorkedBlocks) {
    struct Case {
        Block in, out;
        const char* reason;
    };
    const Case cases[] = {
        {{200, 100, 100, 50}, {255, 120, 120, 50}, "R >= G >= B: red boosted, green pulled"},
        {{90, 90, 90, 90}, {90, 90, 90, 90}, "grey stays"},
        {{100, 50, 50, 200}, {120, 50, 50, 255}, "B >= R >= G: blue boosted, red pulled"},
        {{50, 100, 101, 30}, {54, 124, 124, 30}, "G >= R >= B; greens averaged, written back equal"},
        {{20, 100, 100, 150}, {20, 124, 124, 186}, "B >= G >= R pulls by the gap 50, not the boost 36"},
        {{60, 200, 200, 120}, {60, 255, 255, 142}, "G >= B >= R: pull uses the capped boost 55"},
    };
    for (const auto& c : cases) {
        const Block out = SeparateBlockAt(c.in);
        EXPECT_EQ(out.red, c.out.red) << c.reason;
        EXPECT_EQ(out.green1, c.out.green1) << c.reason;
        EXPECT_EQ(out.green2, c.out.green2) << c.reason;
        EXPECT_EQ(out.blue, c.out.blue) << c.reason;
    }
}

std::array<UCHAR, 3> SaturatedPixel(std::array<UCHAR, 3> bgr, ULONG saturation) {
    constexpr ULONG width = 4, height = 3;
    std::vector<UCHAR> picture(width * height * 3, 0);
    const size_t at = (1 * width + 2) * 3;
    std::copy(bgr.begin(), bgr.end(), picture.begin() + at);
    AdjustSaturation(picture.data(), width, height, saturation);
    return {picture[at], picture[at + 1], picture[at + 2]};
}

TEST(AdjustSaturation, WorkedPixels) {
    using Pixel = std::array<UCHAR, 3>;
    struct Case {
        Pixel in;
        ULONG saturation;
        Pixel out;
        const char* reason;
    };
    const Case cases[] = {
        {{0, 0, 240}, 8, {0, 0, 240}, "8 is neutral"},
        {{0, 0, 240}, 0, {90, 90, 90}, "0 sets every channel to grey (30 + 60)"},
        {{0, 0, 240}, 16, {0, 0, 255}, "16: blue 0 - 90 clamps to 0, red 390 clamps to 255"},
        {{100, 100, 100}, 0, {112, 112, 112}, "grey is about 1.125 x a neutral level"},
        {{10, 50, 90}, 12, {0, 47, 107}, "a = 4: half the distance from grey 55 again, shifts floor"},
        {{10, 50, 90}, 255, {0, 0, 255}, "255 acts as 8 + 114 and saturates fully"},
        {{10, 50, 90}, 0xFFFFFF00u, {255, 121, 0}, "-256 acts as a = 114: far past grey, inverted"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SaturatedPixel(c.in, c.saturation), c.out) << c.reason;
    }
}

TEST(AdjustSaturation, LeavesTheFirstAndLastMemoryRows) {
    std::mt19937 random(6);
    constexpr ULONG width = 40, height = 5;
    auto picture = colour::RandomBytes(width * height * 3, random);
    const auto before = picture;
    AdjustSaturation(picture.data(), width, height, 0);
    for (size_t i = 0; i < width * 3; ++i) {
        ASSERT_EQ(picture[i], before[i]);
        ASSERT_EQ(picture[picture.size() - 1 - i], before[before.size() - 1 - i]);
    }
    EXPECT_NE(picture, before);
}

}  // namespace
}  // namespace vexacam::test
