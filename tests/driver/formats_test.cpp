// The advertised format table and the GUID-level format checks.
#include <gtest/gtest.h>

#include "driver/formats.h"
#include "driver_fixture.h"

namespace driver_test {
namespace {

struct FormatRow {
    LONG Width, Height;
    ULONG ImageSize;
    LONGLONG AvgTimePerFrame;
    ULONG BitRate;
    LONGLONG MaxFrameInterval;
    LONG MinBitsPerSecond, MaxBitsPerSecond;
};

const FormatRow kRows[kCaptureFormatCount] = {
    {2048, 1536, 9437184, 250000, 301989888, 5000000, 75497472, 1207959552},
    {1600, 1200, 5760000, 250000, 184320000, 10000000, 46080000, 737280000},
    {1280, 1024, 3932160, 250000, 117964800, 10000000, 31457280, 188743680},
    {1024, 768, 2359296, 250000, 70778880, 10000000, 18874368, 113246208},
    {800, 600, 1440000, 250000, 43200000, 10000000, 11520000, 69120000},
    {640, 480, 921600, 160000, 27648000, 10000000, 7372800, 44236800},
};

TEST(FormatTable, EveryRowCarriesItsOwnSizeIntervalAndBitRates) {
    for (ULONG i = 0; i < kCaptureFormatCount; ++i) {
        SCOPED_TRACE(i);
        const FormatRow& row = kRows[i];
        const KS_DATARANGE_VIDEO& r = AdvertisedRange(i);
        const KS_BITMAPINFOHEADER& bmi = r.VideoInfoHeader.bmiHeader;
        EXPECT_EQ(bmi.biWidth, row.Width);
        EXPECT_EQ(bmi.biHeight, row.Height);
        EXPECT_EQ(bmi.biSizeImage, row.ImageSize);
        EXPECT_EQ(r.DataRange.SampleSize, row.ImageSize);
        EXPECT_EQ(r.VideoInfoHeader.AvgTimePerFrame, row.AvgTimePerFrame);
        EXPECT_EQ(r.VideoInfoHeader.dwBitRate, row.BitRate);
        EXPECT_EQ(r.ConfigCaps.MaxFrameInterval, row.MaxFrameInterval);
        EXPECT_EQ(r.ConfigCaps.MinBitsPerSecond, row.MinBitsPerSecond);
        EXPECT_EQ(r.ConfigCaps.MaxBitsPerSecond, row.MaxBitsPerSecond);
        for (const SIZE& size : {r.ConfigCaps.InputSize, r.ConfigCaps.MinCroppingSize,
                                 r.ConfigCaps.MaxCroppingSize, r.ConfigCaps.MinOutputSize,
                                 r.ConfigCaps.MaxOutputSize}) {
            EXPECT_EQ(size.cx, row.Width);
            EXPECT_EQ(size.cy, row.Height);
        }
    }
}

TEST(FormatTable, EveryRowIsUncompressedRgb24WithTheSharedFields) {
    for (ULONG i = 0; i < kCaptureFormatCount; ++i) {
        SCOPED_TRACE(i);
        const KS_DATARANGE_VIDEO& r = AdvertisedRange(i);
        EXPECT_EQ(r.DataRange.FormatSize, 296u);
        EXPECT_EQ(r.DataRange.Flags, 0u);
        EXPECT_TRUE(IsEqualGUID(r.DataRange.MajorFormat, KSDATAFORMAT_TYPE_VIDEO));
        EXPECT_TRUE(IsEqualGUID(r.DataRange.SubFormat, MEDIASUBTYPE_RGB24));
        EXPECT_TRUE(IsEqualGUID(r.DataRange.Specifier, KSDATAFORMAT_SPECIFIER_VIDEOINFO));
        EXPECT_TRUE(IsEqualGUID(r.ConfigCaps.guid, KSDATAFORMAT_SPECIFIER_VIDEOINFO));
        EXPECT_EQ(r.bFixedSizeSamples, TRUE);
        EXPECT_EQ(r.bTemporalCompression, TRUE);
        EXPECT_EQ(r.ConfigCaps.MinFrameInterval, 50000);
        EXPECT_EQ(r.ConfigCaps.CropGranularityX, 1);
        EXPECT_EQ(r.ConfigCaps.OutputGranularityY, 1);
        EXPECT_EQ(r.ConfigCaps.StretchTapsX, 0);
        const KS_BITMAPINFOHEADER& bmi = r.VideoInfoHeader.bmiHeader;
        EXPECT_EQ(bmi.biSize, 40u);
        EXPECT_EQ(bmi.biPlanes, 1);
        EXPECT_EQ(bmi.biBitCount, 24);
        EXPECT_EQ(bmi.biCompression, static_cast<DWORD>(KS_BI_RGB));
        EXPECT_EQ(r.VideoInfoHeader.rcSource.right, 0);
    }
}

// A 320 x 240 RGB24 VideoInfo format; no table row has this size.
KS_DATAFORMAT_VIDEOINFOHEADER UnlistedRgb24Format() {
    KS_DATAFORMAT_VIDEOINFOHEADER format{};
    format.DataFormat.FormatSize = sizeof(format);
    format.DataFormat.MajorFormat = KSDATAFORMAT_TYPE_VIDEO;
    format.DataFormat.SubFormat = MEDIASUBTYPE_RGB24;
    format.DataFormat.Specifier = KSDATAFORMAT_SPECIFIER_VIDEOINFO;
    format.VideoInfoHeader.bmiHeader.biSize = sizeof(KS_BITMAPINFOHEADER);
    format.VideoInfoHeader.bmiHeader.biWidth = 320;
    format.VideoInfoHeader.bmiHeader.biHeight = 240;
    format.VideoInfoHeader.bmiHeader.biBitCount = 24;
    return format;
}

TEST(VerifyFormat, JudgesOnlyTheThreeGuidsAndTheStream) {
    struct Case {
        const char* reason;
        void (*change)(KS_DATAFORMAT_VIDEOINFOHEADER&);
        ULONG stream;
        bool accepted;
    };
    const Case cases[] = {
        {"a size no row has still passes", [](KS_DATAFORMAT_VIDEOINFOHEADER&) {}, 0, true},
        {"frame interval and bit count are not compared",
         [](KS_DATAFORMAT_VIDEOINFOHEADER& f) {
             f.VideoInfoHeader.AvgTimePerFrame = 1;
             f.VideoInfoHeader.bmiHeader.biBitCount = 8;
         },
         0, true},
        {"RGB32 is refused",
         [](KS_DATAFORMAT_VIDEOINFOHEADER& f) {
             f.DataFormat.SubFormat = MEDIASUBTYPE_RGB32;
             f.VideoInfoHeader.bmiHeader.biWidth = 640;
             f.VideoInfoHeader.bmiHeader.biHeight = 480;
         },
         0, false},
        {"another specifier is refused",
         [](KS_DATAFORMAT_VIDEOINFOHEADER& f) { f.DataFormat.Specifier = MEDIASUBTYPE_RGB24; },
         0, false},
        {"another major format is refused",
         [](KS_DATAFORMAT_VIDEOINFOHEADER& f) { f.DataFormat.MajorFormat = KSCATEGORY_VIDEO; },
         0, false},
        {"a stream the driver lacks has no table", [](KS_DATAFORMAT_VIDEOINFOHEADER&) {}, 1,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        KS_DATAFORMAT_VIDEOINFOHEADER format = UnlistedRgb24Format();
        c.change(format);
        EXPECT_EQ(VerifyFormat(&format.DataFormat, c.stream), c.accepted);
    }
}

TEST(RangeMatches, ComparesFormatSizeOnlyWhenAsked) {
    KS_DATARANGE_VIDEO range = AdvertisedRange(5);
    range.DataRange.FormatSize = 295;
    EXPECT_TRUE(RangeMatches(&range.DataRange, CaptureFormats[5], false));
    EXPECT_FALSE(RangeMatches(&range.DataRange, CaptureFormats[5], true));
    range.DataRange.FormatSize = 296;
    EXPECT_TRUE(RangeMatches(&range.DataRange, CaptureFormats[0], true));
}

TEST(BitmapImageSize, PadsRowsToFourBytesAndUsesTheHeightsMagnitude) {
    struct Case {
        LONG width, height;
        WORD bits;
        ULONG stride, size;
    };
    const Case cases[] = {
        {640, 480, 24, 1920, 921600},
        {640, -480, 24, 1920, 921600},  // top-down
        {642, 480, 24, 1928, 925440},   // 1926 bytes padded up
        {1, 1, 24, 4, 4},
        {0, 480, 24, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        KS_BITMAPINFOHEADER bmi{};
        bmi.biWidth = c.width;
        bmi.biHeight = c.height;
        bmi.biBitCount = c.bits;
        EXPECT_EQ(BitmapStride(bmi), c.stride);
        EXPECT_EQ(BitmapImageSize(bmi), c.size);
    }
}

}  // namespace
}  // namespace driver_test
