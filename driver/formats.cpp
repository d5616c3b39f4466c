// The format table and the GUID-level format checks.
#include "driver/formats.h"

#include "driver/stream_description.h"

namespace {

struct CaptureFormatRow {
    LONG Width;
    LONG Height;
    LONGLONG AvgTimePerFrame;
    ULONG BitRate;
    LONGLONG MaxFrameInterval;
    LONG MinBitsPerSecond;
    LONG MaxBitsPerSecond;
};

// The bit-rate columns are constants of the advertised ranges; they do not follow from the
// frame intervals.
constexpr CaptureFormatRow kRows[kCaptureFormatCount] = {
    {2048, 1536, 250000, 301989888, 5000000, 75497472, 1207959552},
    {1600, 1200, 250000, 184320000, 10000000, 46080000, 737280000},
    {1280, 1024, 250000, 117964800, 10000000, 31457280, 188743680},
    {1024, 768, 250000, 70778880, 10000000, 18874368, 113246208},
    {800, 600, 250000, 43200000, 10000000, 11520000, 69120000},
    {640, 480, 160000, 27648000, 10000000, 7372800, 44236800},
};

constexpr LONGLONG kMinFrameInterval = 50000;  // 5 ms

constexpr KS_DATARANGE_VIDEO MakeCaptureRange(const CaptureFormatRow& row) {
    const ULONG imageBytes = static_cast<ULONG>(row.Width) * static_cast<ULONG>(row.Height) * 3;
    const SIZE size = {row.Width, row.Height};

    KS_DATARANGE_VIDEO r{};
    r.DataRange.FormatSize = sizeof(KS_DATARANGE_VIDEO);
    r.DataRange.SampleSize = imageBytes;
    r.DataRange.MajorFormat = KSDATAFORMAT_TYPE_VIDEO;
    r.DataRange.SubFormat = MEDIASUBTYPE_RGB24;
    r.DataRange.Specifier = KSDATAFORMAT_SPECIFIER_VIDEOINFO;
    r.bFixedSizeSamples = TRUE;
    r.bTemporalCompression = TRUE;

    KS_VIDEO_STREAM_CONFIG_CAPS& caps = r.ConfigCaps;
    caps.guid = KSDATAFORMAT_SPECIFIER_VIDEOINFO;
    caps.VideoStandard = KS_AnalogVideo_None;
    caps.InputSize = caps.MinCroppingSize = caps.MaxCroppingSize = size;
    caps.MinOutputSize = caps.MaxOutputSize = size;
    caps.CropGranularityX = caps.CropGranularityY = 1;
    caps.CropAlignX = caps.CropAlignY = 1;
    caps.OutputGranularityX = caps.OutputGranularityY = 1;
    caps.MinFrameInterval = kMinFrameInterval;
    caps.MaxFrameInterval = row.MaxFrameInterval;
    caps.MinBitsPerSecond = row.MinBitsPerSecond;
    caps.MaxBitsPerSecond = row.MaxBitsPerSecond;

    KS_VIDEOINFOHEADER& info = r.VideoInfoHeader;
    info.dwBitRate = row.BitRate;
    info.AvgTimePerFrame = row.AvgTimePerFrame;
    info.bmiHeader.biSize = sizeof(KS_BITMAPINFOHEADER);
    info.bmiHeader.biWidth = row.Width;
    info.bmiHeader.biHeight = row.Height;  // positive: bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = KS_BI_RGB;
    info.bmiHeader.biSizeImage = imageBytes;
    return r;
}

constinit KS_DATARANGE_VIDEO Format2048x1536 = MakeCaptureRange(kRows[0]);
constinit KS_DATARANGE_VIDEO Format1600x1200 = MakeCaptureRange(kRows[1]);
constinit KS_DATARANGE_VIDEO Format1280x1024 = MakeCaptureRange(kRows[2]);
constinit KS_DATARANGE_VIDEO Format1024x768 = MakeCaptureRange(kRows[3]);
constinit KS_DATARANGE_VIDEO Format800x600 = MakeCaptureRange(kRows[4]);
constinit KS_DATARANGE_VIDEO Format640x480 = MakeCaptureRange(kRows[5]);

}  // namespace

constinit PKSDATAFORMAT CaptureFormats[kCaptureFormatCount] = {
    &Format2048x1536.DataRange, &Format1600x1200.DataRange, &Format1280x1024.DataRange,
    &Format1024x768.DataRange,  &Format800x600.DataRange,   &Format640x480.DataRange,
};

bool RangeMatches(const KSDATARANGE* Candidate, const KSDATARANGE* Entry, bool CheckSize) {
    if (!IsEqualGUID(Candidate->MajorFormat, Entry->MajorFormat)) return false;
    if (!IsEqualGUID(Candidate->SubFormat, Entry->SubFormat)) return false;
    if (!IsEqualGUID(Candidate->Specifier, Entry->Specifier)) return false;
    return !CheckSize || Candidate->FormatSize == Entry->FormatSize;
}

bool VerifyFormat(const KSDATAFORMAT* Format, ULONG StreamNumber) {
    const HW_STREAM_INFORMATION* info = StreamInformation(StreamNumber);
    if (info == nullptr) return false;
    for (ULONG i = 0; i < info->NumberOfFormatArrayEntries; ++i) {
        if (RangeMatches(Format, info->StreamFormatsArray[i], false)) return true;
    }
    return false;
}

// Unsigned 32-bit arithmetic: wraps like the platform's bitmap macros instead of overflowing.
ULONG BitmapStride(const KS_BITMAPINFOHEADER& Bitmap) {
    const ULONG bits = static_cast<ULONG>(Bitmap.biBitCount) * static_cast<ULONG>(Bitmap.biWidth);
    return ((bits + 31) & ~31u) / 8;
}

ULONG BitmapImageSize(const KS_BITMAPINFOHEADER& Bitmap) {
    const ULONG height = Bitmap.biHeight >= 0 ? static_cast<ULONG>(Bitmap.biHeight)
                                              : 0u - static_cast<ULONG>(Bitmap.biHeight);
    return BitmapStride(Bitmap) * height;
}
