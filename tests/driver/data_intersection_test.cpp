// Data intersection: what a client receives for the range it echoes back.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "driver/data_intersection.h"
#include "driver_fixture.h"

namespace driver_test {
namespace {

constexpr UCHAR kUntouched = 0xA5;

struct Intersection {
    bool result;
    NTSTATUS status;
    ULONG actual;
    alignas(8) UCHAR buffer[256];
};

// Intersects `range` with stream `stream` into a buffer of `bufferSize` bytes.
Intersection Intersect(const KS_DATARANGE_VIDEO& range, ULONG bufferSize, ULONG stream = 0) {
    Intersection out{};
    std::memset(out.buffer, kUntouched, sizeof(out.buffer));
    STREAM_DATA_INTERSECT_INFO info{};
    info.StreamNumber = stream;
    info.DataRange = const_cast<PKSDATARANGE>(&range.DataRange);
    info.DataFormatBuffer = out.buffer;
    info.SizeOfDataFormatBuffer = bufferSize;
    HW_STREAM_REQUEST_BLOCK srb{};
    srb.Command = SRB_GET_DATA_INTERSECTION;
    srb.Status = STATUS_SUCCESS;
    srb.CommandData.IntersectInfo = &info;
    out.result = ComputeDataIntersection(&srb);
    out.status = srb.Status;
    out.actual = srb.ActualBytesTransferred;
    return out;
}

const KS_DATAFORMAT_VIDEOINFOHEADER& Answer(const Intersection& i) {
    return *reinterpret_cast<const KS_DATAFORMAT_VIDEOINFOHEADER*>(i.buffer);
}

bool Untouched(const Intersection& i) {
    for (UCHAR b : i.buffer) {
        if (b != kUntouched) return false;
    }
    return true;
}

TEST(DataIntersection, UnchangedRangeOf640x480Yields152ByteFormat) {
    const Intersection i = Intersect(AdvertisedRange(5), sizeof(Intersection::buffer));
    ASSERT_TRUE(i.result);
    EXPECT_EQ(i.status, STATUS_SUCCESS);
    EXPECT_EQ(i.actual, 152u);
    const KS_DATAFORMAT_VIDEOINFOHEADER& f = Answer(i);
    EXPECT_EQ(f.DataFormat.FormatSize, 152u);
    EXPECT_EQ(f.DataFormat.SampleSize, 921600u);
    EXPECT_EQ(f.VideoInfoHeader.bmiHeader.biSizeImage, 921600u);
    EXPECT_EQ(f.VideoInfoHeader.AvgTimePerFrame, 160000);
    EXPECT_TRUE(IsEqualGUID(f.DataFormat.SubFormat, MEDIASUBTYPE_RGB24));
    EXPECT_EQ(i.buffer[152], kUntouched) << "nothing written past the format";
}

TEST(DataIntersection, EveryAdvertisedRangeIntersectsWithItsOwnImageSize) {
    for (ULONG index = 0; index < kCaptureFormatCount; ++index) {
        SCOPED_TRACE(index);
        const KS_DATARANGE_VIDEO& range = AdvertisedRange(index);
        const Intersection i = Intersect(range, 152);
        ASSERT_TRUE(i.result);
        EXPECT_EQ(Answer(i).VideoInfoHeader.bmiHeader.biWidth,
                  range.VideoInfoHeader.bmiHeader.biWidth);
        EXPECT_EQ(Answer(i).DataFormat.SampleSize, range.DataRange.SampleSize);
    }
}

TEST(DataIntersection, AnswerIsBuiltFromTheClientsVideoInfo) {
    struct Case {
        const char* reason;
        std::function<void(KS_DATARANGE_VIDEO&)> change;
        ULONG imageSize;
    };
    const Case cases[] = {
        {"a negative height counts by its magnitude",
         [](KS_DATARANGE_VIDEO& r) { r.VideoInfoHeader.bmiHeader.biHeight = -480; }, 921600},
        {"642 pixels of 24 bits pad to a 1928-byte stride",
         [](KS_DATARANGE_VIDEO& r) { r.VideoInfoHeader.bmiHeader.biWidth = 642; }, 1928 * 480},
        {"the client's image size is recomputed, not copied",
         [](KS_DATARANGE_VIDEO& r) { r.VideoInfoHeader.bmiHeader.biSizeImage = 7; }, 921600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        KS_DATARANGE_VIDEO range = AdvertisedRange(5);
        c.change(range);
        const Intersection i = Intersect(range, 152);
        ASSERT_TRUE(i.result);
        EXPECT_EQ(Answer(i).VideoInfoHeader.bmiHeader.biSizeImage, c.imageSize);
        EXPECT_EQ(Answer(i).DataFormat.SampleSize, c.imageSize);
    }
}

TEST(DataIntersection, KeepsTheClientsFrameIntervalAndHeaderFlags) {
    KS_DATARANGE_VIDEO range = AdvertisedRange(3);
    range.VideoInfoHeader.AvgTimePerFrame = 333333;
    range.DataRange.Flags = 0x10;
    const Intersection i = Intersect(range, 152);
    ASSERT_TRUE(i.result);
    EXPECT_EQ(Answer(i).VideoInfoHeader.AvgTimePerFrame, 333333);
    EXPECT_EQ(Answer(i).DataFormat.Flags, 0x10u);
}

TEST(DataIntersection, RangesThatMatchNoEntryFailWithNoMatch) {
    struct Case {
        const char* reason;
        std::function<void(KS_DATARANGE_VIDEO&)> change;
        ULONG stream;
    };
    const Case cases[] = {
        {"MaxFrameInterval differs: ConfigCaps must be byte-identical",
         [](KS_DATARANGE_VIDEO& r) { r.ConfigCaps.MaxFrameInterval = 20000000; }, 0},
        {"FormatSize 295", [](KS_DATARANGE_VIDEO& r) { r.DataRange.FormatSize = 295; }, 0},
        {"FormatSize 297", [](KS_DATARANGE_VIDEO& r) { r.DataRange.FormatSize = 297; }, 0},
        {"bTemporalCompression differs",
         [](KS_DATARANGE_VIDEO& r) { r.bTemporalCompression = FALSE; }, 0},
        {"MemoryAllocationFlags differ",
         [](KS_DATARANGE_VIDEO& r) { r.MemoryAllocationFlags = 1; }, 0},
        {"RGB32 subformat",
         [](KS_DATARANGE_VIDEO& r) { r.DataRange.SubFormat = MEDIASUBTYPE_RGB32; }, 0},
        {"a stream the driver lacks", [](KS_DATARANGE_VIDEO&) {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        KS_DATARANGE_VIDEO range = AdvertisedRange(5);
        c.change(range);
        const Intersection i = Intersect(range, 152, c.stream);
        EXPECT_FALSE(i.result);
        EXPECT_EQ(i.status, STATUS_NO_MATCH);
        EXPECT_TRUE(Untouched(i));
    }
}

TEST(DataIntersection, BufferSizesDecideBetweenSizeQueryAndAnswer) {
    struct Case {
        ULONG bufferSize;
        bool result;
        NTSTATUS status;
        ULONG actual;
    };
    const Case cases[] = {
        {0, false, STATUS_BUFFER_OVERFLOW, 152},  // size query: the needed size
        {4, true, STATUS_SUCCESS, 4},             // size query: the size itself
        {8, false, STATUS_BUFFER_TOO_SMALL, 0},
        {151, false, STATUS_BUFFER_TOO_SMALL, 0},
        {152, true, STATUS_SUCCESS, 152},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bufferSize);
        const Intersection i = Intersect(AdvertisedRange(5), c.bufferSize);
        EXPECT_EQ(i.result, c.result);
        EXPECT_EQ(i.status, c.status);
        EXPECT_EQ(i.actual, c.actual);
        if (c.bufferSize == 4) {
            ULONG size;
            std::memcpy(&size, i.buffer, sizeof(size));
            EXPECT_EQ(size, 152u);
            EXPECT_EQ(i.buffer[4], kUntouched);
        }
        if (!c.result) {
            EXPECT_TRUE(Untouched(i));
        }
    }
}

TEST(DataIntersection, RefusesABitmapHeaderSizeThatWouldCopyPastTheClientsRange) {
    for (ULONG biSize : {0u, 39u, 41u, 256u, 0xFFFFFF90u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(biSize);
        KS_DATARANGE_VIDEO range = AdvertisedRange(5);
        range.VideoInfoHeader.bmiHeader.biSize = biSize;
        for (ULONG bufferSize : {0u, 4u, 256u}) {
            const Intersection i = Intersect(range, bufferSize);
            EXPECT_FALSE(i.result);
            EXPECT_EQ(i.status, STATUS_INVALID_PARAMETER);
            EXPECT_EQ(i.actual, 0u);
            EXPECT_TRUE(Untouched(i));
        }
    }
}

}  // namespace
}  // namespace driver_test
