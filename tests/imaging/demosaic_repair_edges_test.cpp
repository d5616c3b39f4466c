// Edge repair after the demosaic: which rows and columns are copied from where.
#include <gtest/gtest.h>

#include "demosaic_support.h"
#include "imaging/demosaic.h"
#include "imaging/repair_edges.h"

namespace vexacam::test {
namespace {

// A picture whose every pixel names its own position: blue = row, green = column, red = 7.
std::vector<uint8_t> LabelledPicture(uint32_t width, uint32_t height) {
    std::vector<uint8_t> picture(size_t{width} * height * 3);
    for (uint32_t m = 0; m < height; ++m) {
        for (uint32_t u = 0; u < width; ++u) {
            const size_t at = PixelOffset(width, m, u);
            picture[at + 0] = static_cast<uint8_t>(m);
            picture[at + 1] = static_cast<uint8_t>(u);
            picture[at + 2] = 7;
        }
    }
    return picture;
}

struct Source {
    uint8_t row;
    uint8_t column;
};

Source SourceOf(const std::vector<uint8_t>& picture, uint32_t width, uint32_t m, uint32_t u) {
    const size_t at = PixelOffset(width, m, u);
    return {picture[at + 0], picture[at + 1]};
}

TEST(RepairEdges, ColumnSourcesByVideoModel) {
    // W = 16, H = 8. Each case lists, for output columns 0, 1, 2 and W - 3, W - 2, W - 1 of an
    // inner row, the column its pixel is copied from.
    struct Case {
        uint8_t videoModel;
        uint8_t sources[6];
        const char* reason;
    };
    const Case cases[] = {
        {1, {5, 4, 3, 11, 10, 9}, "upright: mirror about columns 3 and W - 4 exclusive"},
        {3, {5, 4, 3, 11, 10, 9}, "flipped repairs like upright"},
        {2, {6, 5, 4, 12, 11, 10}, "mirrored: copies start one column further in"},
        {4, {6, 5, 4, 12, 11, 10}, "rotated placement with the mirrored column repair"},
        {0, {0, 1, 2, 13, 14, 15}, "other modes keep the columns"},
        {5, {0, 1, 2, 13, 14, 15}, "other modes keep the columns"},
        {255, {0, 1, 2, 13, 14, 15}, "other modes keep the columns"},
    };
    const uint32_t width = 16, height = 8;
    const uint32_t columns[6] = {0, 1, 2, 13, 14, 15};
    for (const auto& c : cases) {
        auto picture = LabelledPicture(width, height);
        RepairEdges(width, height, picture.data(), c.videoModel, 3);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(SourceOf(picture, width, 4, columns[i]).column, c.sources[i])
                << c.reason << ", column " << columns[i];
        }
    }
}

TEST(RepairEdges, RowsCopiedBeforeColumnsSoCornersComeFromInside) {
    const uint32_t width = 16, height = 10;
    auto picture = LabelledPicture(width, height);
    RepairEdges(width, height, picture.data(), 1, 3);
    const struct {
        uint32_t row;
        uint8_t from;
    } rows[] = {{0, 3}, {1, 2}, {9, 6}, {8, 7}, {5, 5}};
    for (const auto& r : rows) {
        for (uint32_t u = 0; u < width; ++u) {
            EXPECT_EQ(SourceOf(picture, width, r.row, u).row, r.from) << "row " << r.row;
        }
    }
    // Corner pixel (0, 0): row 0 took row 3, then column 0 took column 5 of that row.
    EXPECT_EQ(SourceOf(picture, width, 0, 0).row, 3);
    EXPECT_EQ(SourceOf(picture, width, 0, 0).column, 5);
}

TEST(RepairEdges, NarrowestPictureFollowsTheCopyOrder) {
    // At W = 8 in mode 2 the right-hand copies read columns the left-hand copies just wrote:
    // j = 1: col 2 := 4, col 5 := 4; j = 2: col 1 := 5 (now 4), col 6 := 3; j = 3: col 0 := 6
    // (now 3), col 7 := 2 (now 4).
    const uint32_t width = 8, height = 4;
    auto picture = LabelledPicture(width, height);
    RepairEdges(width, height, picture.data(), 2, 3);
    const uint8_t expected[8] = {3, 4, 4, 3, 4, 4, 3, 4};
    for (uint32_t u = 0; u < width; ++u) {
        EXPECT_EQ(SourceOf(picture, width, 1, u).column, expected[u]) << "column " << u;
    }
}

TEST(RepairEdges, UprightFirstRawRowEndsInTheTopTwoRows) {
    // VideoModel 1: raw row 0 lands in memory row H - 2 (colour); after the repair memory row
    // H - 1 is a copy of row H - 4 and row H - 2 of row H - 3.
    const FrameSize size{16, 8};
    const auto frame = RandomBytes(size.width * size.height, 21);
    std::vector<uint8_t> picture(size.width * size.height * 3);
    ColourUpright(size.width, size.height, picture.data(), frame.data());
    const size_t stride = size.width * 3;
    const auto row = [&](uint32_t m) {
        return std::vector<uint8_t>(picture.begin() + m * stride, picture.begin() + (m + 1) * stride);
    };
    EXPECT_EQ(picture[PixelOffset(size.width, size.height - 2, 0) + 2], frame[0]);  // red of (0, 0)
    RepairEdges(size.width, size.height, picture.data(), 1, 3);
    EXPECT_EQ(row(size.height - 1), row(size.height - 4));
    EXPECT_EQ(row(size.height - 2), row(size.height - 3));
}

TEST(RepairEdges, TooSmallPicturesAreLeftAlone) {
    const struct {
        uint32_t width, height;
    } sizes[] = {{16, 2}, {16, 3}, {6, 8}, {0, 0}};
    for (const auto& s : sizes) {
        std::vector<uint8_t> picture(size_t{s.width} * s.height * 3 + 16, 0x33);
        const auto before = picture;
        RepairEdges(s.width, s.height, picture.data(), 1, 3);
        EXPECT_EQ(picture, before) << s.width << "x" << s.height;
    }
}

}  // namespace
}  // namespace vexacam::test
