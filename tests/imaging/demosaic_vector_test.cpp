// Every vectorised demosaic body must give the scalar body's bytes exactly, on every size,
// and write nothing the scalar body leaves alone.
#include <gtest/gtest.h>

#include <string>

#include "demosaic_support.h"
#include "imaging/demosaic.h"

namespace vexacam::test {
namespace {

typedef VOID VARIANT(ULONG, ULONG, PUCHAR, const UCHAR*);

struct NamedVariant {
    const char* name;
    VARIANT* run;
};

const NamedVariant kVariants[] = {
    {"ColourUpright", ColourUpright}, {"ColourMirrored", ColourMirrored},
    {"ColourFlipped", ColourFlipped}, {"ColourRotated", ColourRotated},
    {"GreyUpright", GreyUpright},     {"GreyMirrored", GreyMirrored},
    {"GreyFlipped", GreyFlipped},     {"GreyRotated", GreyRotated},
};

// The picture sits between guard bytes; both start as a fixed pattern, so rows and bytes that a
// body must not write are compared too.
constexpr size_t kGuardBytes = 256;

std::vector<uint8_t> RunAtLevel(const NamedVariant& variant, VECTOR_LEVEL level, FrameSize size,
                                const std::vector<uint8_t>& frame) {
    std::vector<uint8_t> picture(size.width * size.height * 3 + 2 * kGuardBytes, 0xA5);
    ScopedVectorLevel limit(level);
    variant.run(size.width, size.height, picture.data() + kGuardBytes, frame.data());
    return picture;
}

void ExpectEveryLevelMatchesScalar(FrameSize size, uint32_t seed) {
    const auto frame = RandomBytes(size_t{size.width} * size.height, seed);
    for (const auto& variant : kVariants) {
        const auto expected = RunAtLevel(variant, VectorLevelScalar, size, frame);
        for (VECTOR_LEVEL level : AvailableLevels()) {
            if (level == VectorLevelScalar) continue;
            const auto actual = RunAtLevel(variant, level, size, frame);
            ASSERT_TRUE(actual == expected)
                << variant.name << " " << VectorLevelName(level) << " differs from scalar at "
                << size.width << "x" << size.height;
        }
    }
}

TEST(DemosaicVectorBodies, MatchScalarOnEveryAdvertisedSize) {
    uint32_t seed = 1;
    for (FrameSize size : AdvertisedSizes()) ExpectEveryLevelMatchesScalar(size, seed++);
}

TEST(DemosaicVectorBodies, MatchScalarOnNarrowAndOddMultipleOf8Widths) {
    uint32_t seed = 100;
    for (FrameSize size : UnusualSizes()) ExpectEveryLevelMatchesScalar(size, seed++);
}

TEST(DemosaicVectorBodies, MatchScalarOnSaturatedAndDarkFrames) {
    // All-255 frames push the green sum and the grey weights to their maximum.
    for (uint8_t value : {uint8_t{0}, uint8_t{1}, uint8_t{254}, uint8_t{255}}) {
        const FrameSize size{136, 6};
        const std::vector<uint8_t> frame(size.width * size.height, value);
        for (const auto& variant : kVariants) {
            const auto expected = RunAtLevel(variant, VectorLevelScalar, size, frame);
            for (VECTOR_LEVEL level : AvailableLevels()) {
                EXPECT_TRUE(RunAtLevel(variant, level, size, frame) == expected)
                    << variant.name << " " << VectorLevelName(level) << " value " << int{value};
            }
        }
    }
}

TEST(DemosaicVectorBodies, UnsupportedShapesWriteNothing) {
    // A width that is not a multiple of 8 or an odd or tiny height cannot be processed safely.
    const FrameSize shapes[] = {{12, 6}, {16, 5}, {16, 2}, {0, 4}};
    for (FrameSize size : shapes) {
        const auto frame = RandomBytes(size_t{size.width} * size.height + 64, 5);
        for (const auto& variant : kVariants) {
            std::vector<uint8_t> picture(size.width * size.height * 3 + 64, 0x5A);
            variant.run(size.width, size.height, picture.data(), frame.data());
            EXPECT_TRUE(picture == std::vector<uint8_t>(picture.size(), 0x5A)) << variant.name;
        }
    }
}

}  // namespace
}  // namespace vexacam::test
