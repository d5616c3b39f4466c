// Data intersection: a client receives a format only by echoing one advertised range with
// unchanged flags and configuration caps; the frame interval and the other video-info fields
// of the answer are the client's own.
#include "driver/data_intersection.h"

#include "driver/formats.h"
#include "driver/stream_description.h"

namespace {

// Request sizes that ask only for the size of the answer.
constexpr ULONG kSizeQueryNone = 0;
constexpr ULONG kSizeQueryValue = sizeof(ULONG);

bool VideoRangeFieldsEqual(const KS_DATARANGE_VIDEO& a, const KS_DATARANGE_VIDEO& b) {
    return a.bFixedSizeSamples == b.bFixedSizeSamples &&
           a.bTemporalCompression == b.bTemporalCompression &&
           a.StreamDescriptionFlags == b.StreamDescriptionFlags &&
           a.MemoryAllocationFlags == b.MemoryAllocationFlags &&
           RtlCompareMemory(&a.ConfigCaps, &b.ConfigCaps, sizeof(a.ConfigCaps)) ==
               sizeof(a.ConfigCaps);
}

// The first table entry the client's range matches, or null.
const KS_DATARANGE_VIDEO* FindMatchingRange(const KSDATARANGE* Range, ULONG StreamNumber) {
    const HW_STREAM_INFORMATION* info = StreamInformation(StreamNumber);
    if (info == nullptr) return nullptr;
    for (ULONG i = 0; i < info->NumberOfFormatArrayEntries; ++i) {
        const KSDATARANGE* entry = info->StreamFormatsArray[i];
        // With equal FormatSize the client's range is a whole KS_DATARANGE_VIDEO.
        if (!RangeMatches(Range, entry, true)) continue;
        const auto* client = reinterpret_cast<const KS_DATARANGE_VIDEO*>(Range);
        const auto* ours = reinterpret_cast<const KS_DATARANGE_VIDEO*>(entry);
        if (VideoRangeFieldsEqual(*client, *ours)) return client;
    }
    return nullptr;
}

// The video info header is copied up to the end of the client's bitmap header; that copy must
// stay inside the client's range, whose bitmap header is the last field.
bool BitmapHeaderSizeFits(const KS_DATARANGE_VIDEO& Range) {
    const ULONG biSize = Range.VideoInfoHeader.bmiHeader.biSize;
    const ULONG room = Range.DataRange.FormatSize - offsetof(KS_DATARANGE_VIDEO, VideoInfoHeader) -
                       offsetof(KS_VIDEOINFOHEADER, bmiHeader);
    return biSize >= sizeof(KS_BITMAPINFOHEADER) && biSize <= room;
}

void WriteVideoFormat(const KS_DATARANGE_VIDEO& Range, ULONG FormatSize, PVOID Buffer) {
    auto* format = static_cast<KS_DATAFORMAT_VIDEOINFOHEADER*>(Buffer);
    RtlCopyMemory(&format->DataFormat, &Range.DataRange, sizeof(KSDATAFORMAT));
    format->DataFormat.FormatSize = FormatSize;
    RtlCopyMemory(&format->VideoInfoHeader, &Range.VideoInfoHeader,
                  offsetof(KS_VIDEOINFOHEADER, bmiHeader) + Range.VideoInfoHeader.bmiHeader.biSize);
    const ULONG imageSize = BitmapImageSize(format->VideoInfoHeader.bmiHeader);
    format->DataFormat.SampleSize = imageSize;
    format->VideoInfoHeader.bmiHeader.biSizeImage = imageSize;
}

}  // namespace

// Called by AdapterReceivePacket for SRB_GET_DATA_INTERSECTION at PASSIVE_LEVEL.
bool ComputeDataIntersection(PHW_STREAM_REQUEST_BLOCK Srb) {
    const PSTREAM_DATA_INTERSECT_INFO request = Srb->CommandData.IntersectInfo;
    const KS_DATARANGE_VIDEO* range = FindMatchingRange(request->DataRange, request->StreamNumber);
    if (range == nullptr) {
        Srb->Status = STATUS_NO_MATCH;
        return false;
    }
    if (!BitmapHeaderSizeFits(*range)) {
        Srb->Status = STATUS_INVALID_PARAMETER;
        return false;
    }
    const ULONG formatSize = range->VideoInfoHeader.bmiHeader.biSize + kFormatHeaderBytes;

    const ULONG bufferSize = request->SizeOfDataFormatBuffer;
    if (bufferSize == kSizeQueryNone) {
        Srb->Status = STATUS_BUFFER_OVERFLOW;
        Srb->ActualBytesTransferred = formatSize;
        return false;
    }
    if (bufferSize == kSizeQueryValue) {
        *static_cast<ULONG*>(request->DataFormatBuffer) = formatSize;
        Srb->ActualBytesTransferred = sizeof(ULONG);
        return true;
    }
    if (bufferSize < formatSize) {
        Srb->Status = STATUS_BUFFER_TOO_SMALL;
        return false;
    }
    WriteVideoFormat(*range, formatSize, request->DataFormatBuffer);
    Srb->ActualBytesTransferred = formatSize;
    return true;
}
