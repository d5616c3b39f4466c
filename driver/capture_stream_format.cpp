// FormatIsServable: the format checks of stream open and SRB_SET_DATA_FORMAT that keep frame
// building, the stages and the frame timer inside their buffers and their time.
#include "driver/capture_stream_format.h"

// The Bayer stages work on 2 x 2 cells and the vector stages on 8-pixel groups.
constexpr LONG kWidthGranule = 8;
constexpr LONG kMinimumHeight = 4;

static bool GeometryIsServable(const KS_BITMAPINFOHEADER& Bitmap) {
    LONG width = Bitmap.biWidth;
    LONG height = Bitmap.biHeight;
    if (width <= 0 || width % kWidthGranule != 0) return false;
    if (height < kMinimumHeight || height % 2 != 0) return false;
    // The camera reads the frame out of its sensor: a larger frame would be refused there and
    // its window placed off the sensor.
    if (static_cast<ULONG>(width) > kSensorWidth || static_cast<ULONG>(height) > kSensorHeight) {
        return false;
    }
    LONGLONG pixels = static_cast<LONGLONG>(width) * height;
    if (pixels > static_cast<LONGLONG>(kRawFrameBytes)) return false;
    if (Bitmap.biBitCount == 24 && static_cast<LONGLONG>(Bitmap.biSizeImage) < 3 * pixels) {
        return false;
    }
    return true;
}

static bool IntervalIsServable(LONGLONG Requested, LONGLONG Current) {
    // A zero interval keeps the stream's current one, which is zero on a fresh stream.
    LONGLONG interval = Requested != 0 ? Requested : Current;
    return interval >= kShortestFrameInterval;
}

bool FormatIsServable(const KSDATAFORMAT* Format, LONGLONG CurrentInterval) {
    if (Format == nullptr || Format->FormatSize < sizeof(KS_DATAFORMAT_VIDEOINFOHEADER)) {
        return false;
    }
    const KS_VIDEOINFOHEADER& info =
        reinterpret_cast<const KS_DATAFORMAT_VIDEOINFOHEADER*>(Format)->VideoInfoHeader;
    return GeometryIsServable(info.bmiHeader) &&
           IntervalIsServable(info.AvgTimePerFrame, CurrentInterval);
}
