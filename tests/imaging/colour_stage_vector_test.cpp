// Every vector body of the colour and tone stages gives the scalar body's bytes exactly.
#include <gtest/gtest.h>

#include <functional>

#include "colour_stage_support.h"
#include "imaging/colour_and_tone.h"
#include "imaging/colour_gains.h"
#include "imaging/contrast.h"
#include "imaging/flat_field.h"
#include "imaging/gain_table.h"
#include "imaging/saturation.h"
#include "imaging/tone_table.h"

namespace vexacam::test {
namespace {

using colour::FrameSize;

// The advertised sizes plus small ones whose rows end in a partial vector.
std::vector<FrameSize> SizesUnderTest() {
    std::vector<FrameSize> sizes(std::begin(colour::kAdvertisedSizes),
                                 std::end(colour::kAdvertisedSizes));
    sizes.push_back({200, 16});
    sizes.push_back({88, 10});
    sizes.push_back({8, 6});
    sizes.push_back({64, 8});  // two AVX-512 vectors per row
    sizes.push_back({32, 8});  // one AVX-512 vector per row
    sizes.push_back({16, 8});  // one AVX2 vector per row
    sizes.push_back({96, 8});  // three AVX-512 vectors per row
    return sizes;
}

// Runs Stage on a copy of Input at the scalar level and at every vector level present, and
// expects the same bytes.
void ExpectLevelsAgree(const std::vector<UCHAR>& input,
                       const std::function<void(std::vector<UCHAR>&)>& stage,
                       const std::string& what) {
    std::vector<UCHAR> reference = input;
    {
        colour::VectorLevelScope scope(VectorLevelScalar);
        stage(reference);
    }
    for (VECTOR_LEVEL level : colour::VectorLevelsPresent()) {
        colour::VectorLevelScope scope(level);
        std::vector<UCHAR> output = input;
        stage(output);
        ASSERT_TRUE(output == reference) << what << " differs at " << VectorLevelName(level);
    }
}

std::string Describe(FrameSize size, const char* stage, long setting) {
    return std::string(stage) + " " + std::to_string(size.Width) + "x" +
           std::to_string(size.Height) + " setting " + std::to_string(setting);
}

TEST(ColourStageVectors, FlatFieldMatchesScalar) {
    std::mt19937 random(11);
    for (FrameSize size : SizesUnderTest()) {
        const size_t pixels = size_t{size.Width} * size.Height;
        const auto frame = colour::RandomBytes(pixels, random);
        std::vector<SHORT> wide(pixels), calibrated(pixels), neutral(pixels, 64);
        for (auto& gain : wide) gain = static_cast<SHORT>(random());
        for (auto& gain : calibrated) gain = static_cast<SHORT>(random() % 16321);
        for (const auto* gains : {&wide, &calibrated, &neutral}) {
            ExpectLevelsAgree(frame, [&](std::vector<UCHAR>& f) {
                ApplyFlatField(size.Width, size.Height, f.data(), gains->data(), static_cast<ULONG>(pixels));
            }, Describe(size, "flat field", (*gains)[0]));
        }
    }
}

TEST(ColourStageVectors, ContrastMatchesScalarForEveryAdjustmentType) {
    std::mt19937 random(12);
    for (FrameSize size : SizesUnderTest()) {
        const auto frame = colour::RandomBytes(size_t{size.Width} * size.Height, random);
        for (ULONG type : {0u, 1u, 2u, 9u}) {
            const UCHAR settings[] = {NeutralContrast, 32, static_cast<UCHAR>(1 + random() % 32),
                                      static_cast<UCHAR>(random())};
            for (UCHAR contrast : settings) {
                ExpectLevelsAgree(frame, [&](std::vector<UCHAR>& f) {
                    AdjustContrast(size.Width, size.Height, f.data(), f.data(), contrast, type);
                }, Describe(size, type == 1 ? "emphasis contrast" : "contrast", contrast));
            }
        }
    }
}

TEST(ColourStageVectors, ContrastMatchesScalarOnSmoothFrames) {
    // Neighbouring samples close together: the emphasis result depends on whether each
    // neighbour was already processed, which random noise could hide.
    std::mt19937 random(13);
    for (FrameSize size : SizesUnderTest()) {
        std::vector<UCHAR> frame(size_t{size.Width} * size.Height);
        for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<UCHAR>(100 + (i % 7) + random() % 3);
        for (UCHAR contrast : {UCHAR{16}, UCHAR{20}, UCHAR{31}}) {
            ExpectLevelsAgree(frame, [&](std::vector<UCHAR>& f) {
                AdjustContrast(size.Width, size.Height, f.data(), f.data(), contrast, 1);
            }, Describe(size, "smooth emphasis", contrast));
        }
    }
}

TEST(ColourStageVectors, ColourSeparationMatchesScalarOnTies) {
    // Few distinct levels: many blocks with equal colours, where the case order decides.
    std::mt19937 random(16);
    for (FrameSize size : SizesUnderTest()) {
        std::vector<UCHAR> frame(size_t{size.Width} * size.Height);
        for (auto& sample : frame) sample = static_cast<UCHAR>(100 + random() % 3 * 60);
        ExpectLevelsAgree(frame, [&](std::vector<UCHAR>& f) { SeparateColours(size.Width, size.Height, f.data()); },
                          Describe(size, "colour separation", 0));
    }
}

TEST(ColourStageVectors, SaturationMatchesScalar) {
    std::mt19937 random(14);
    for (FrameSize size : SizesUnderTest()) {
        const auto picture = colour::RandomBytes(size_t{size.Width} * size.Height * 3, random);
        const ULONG settings[] = {NeutralSaturation, 0, 16, 255, 0xFFFFFFF0u,
                                 static_cast<ULONG>(random() % 24)};
        for (ULONG saturation : settings) {
            ExpectLevelsAgree(picture, [&](std::vector<UCHAR>& p) {
                AdjustSaturation(p.data(), size.Width, size.Height, saturation);
            }, Describe(size, "saturation", static_cast<LONG>(saturation)));
        }
    }
}

TEST(ColourStageVectors, SaturationMatchesScalarOnNarrowPictures) {
    // Rows of one to nine pixels: no whole vector step, exactly one, and one with every tail.
    std::mt19937 random(17);
    for (ULONG width = 1; width <= 9; ++width) {
        const FrameSize size{width, 4};
        const auto picture = colour::RandomBytes(size_t{width} * 4 * 3, random);
        for (ULONG saturation : {0u, 3u, 15u, 200u}) {
            ExpectLevelsAgree(picture, [&](std::vector<UCHAR>& p) {
                AdjustSaturation(p.data(), size.Width, size.Height, saturation);
            }, Describe(size, "narrow saturation", static_cast<LONG>(saturation)));
        }
    }
}

TEST(ColourStageVectors, SaturationRowsMatchScalarAtEveryFactor) {
    // The largest factor brings the 16-bit products to their limit; each factor in both
    // directions, on rows whose pixels reach every level and every grey.
    std::mt19937 random(18);
    auto row = colour::RandomBytes(3 * 257, random);
    const UCHAR extremes[] = {255, 0, 0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0, 255, 255, 0, 255};
    std::copy(std::begin(extremes), std::end(extremes), row.begin() + 3 * 4);
    for (LONG factor = 0; factor <= MaxSaturationFactor; ++factor) {
        for (auto* adjust : {&DesaturateRow, &SaturateRow}) {
            ExpectLevelsAgree(row, [&](std::vector<UCHAR>& r) {
                adjust(r.data(), static_cast<ULONG>(r.size()), factor);
            }, Describe({257, 1}, adjust == &SaturateRow ? "saturate row" : "desaturate row", factor));
        }
    }
}

TEST(ColourStageVectors, GainsAndToneTableMatchScalar) {
    std::mt19937 random(15);
    for (FrameSize size : SizesUnderTest()) {
        const auto frame = colour::RandomBytes(size_t{size.Width} * size.Height, random);
        const auto red = colour::RandomBytes(256, random);
        const auto green = colour::RandomBytes(256, random);
        const auto blue = colour::RandomBytes(256, random);
        std::vector<UCHAR> unity(256);
        SetGain(unity.data(), 500);
        ExpectLevelsAgree(frame, [&](std::vector<UCHAR>& f) {
            ApplyColourGains(size.Width, size.Height, f.data(), red.data(), green.data(), blue.data());
        }, Describe(size, "colour gains", red[0]));
        ExpectLevelsAgree(frame, [&](std::vector<UCHAR>& f) {
            ApplyColourGains(size.Width, size.Height, f.data(), unity.data(), unity.data(), unity.data());
        }, Describe(size, "unity gains", 500));
        ExpectLevelsAgree(frame, [&](std::vector<UCHAR>& f) {
            ApplyToneTable(2.0, size.Width, size.Height, f.data(), red.data());
        }, Describe(size, "tone table", red[0]));
    }
}

TEST(ColourStageVectors, ComposedGainsAndToneGiveTheTwoStagesBytes) {
    std::mt19937 random(19);
    std::vector<UCHAR> identity(256), doubled(256);
    for (int i = 0; i < 256; ++i) identity[i] = static_cast<UCHAR>(i);
    SetGain(doubled.data(), 1000);
    const auto noise = colour::RandomBytes(256, random);
    auto oneOff = identity;
    oneOff[77] = 78;
    struct Case {
        const std::vector<UCHAR>* red;
        const std::vector<UCHAR>* green;
        const std::vector<UCHAR>* blue;
        const std::vector<UCHAR>* tone;
        double gamma;
        const char* reason;
    };
    const Case cases[] = {
        {&identity, &identity, &identity, &identity, 1.0, "defaults: nothing to do"},
        {&identity, &identity, &identity, &noise, 1.0, "gamma 1.0 ignores a stale tone table"},
        {&identity, &identity, &identity, &noise, 2.0, "tone table alone"},
        {&noise, &doubled, &identity, &identity, 2.0, "gains alone"},
        {&noise, &doubled, &oneOff, &noise, 0.5, "both, each colour its own"},
        {&identity, &identity, &oneOff, &identity, 1.0, "one level of one colour moved"},
    };
    for (FrameSize size : SizesUnderTest()) {
        const auto frame = colour::RandomBytes(size_t{size.Width} * size.Height, random);
        for (const auto& c : cases) {
            auto expected = frame;
            {
                colour::VectorLevelScope scope(VectorLevelScalar);
                ApplyColourGains(size.Width, size.Height, expected.data(), c.red->data(),
                                 c.green->data(), c.blue->data());
                ApplyToneTable(c.gamma, size.Width, size.Height, expected.data(), c.tone->data());
            }
            for (LONG level = VectorLevelScalar; level <= DetectedVectorLevel(); ++level) {
                colour::VectorLevelScope scope(static_cast<VECTOR_LEVEL>(level));
                auto output = frame;
                ApplyColourGainsAndTone(size.Width, size.Height, output.data(), c.red->data(),
                                        c.green->data(), c.blue->data(), c.gamma, c.tone->data());
                ASSERT_TRUE(output == expected) << c.reason << " " << Describe(size, "composed", 0)
                                                << " at " << VectorLevelName(static_cast<VECTOR_LEVEL>(level));
            }
        }
    }
}

}  // namespace
}  // namespace vexacam::test
