// What the capture pipeline can serve safely, beyond the table match of VerifyFormat: the frame
// must be one the sensor can deliver, the picture must fit the client's image size, the frame
// geometry must suit the Bayer stages, and the frame timer must not spin.
#pragma once

#include "driver/device_context.h"

// Shortest frame interval the stream advertises (the table's MinFrameInterval, 5 ms).
constexpr LONGLONG kShortestFrameInterval = 50000;

// True when Format (already accepted by VerifyFormat) is a KS_DATAFORMAT_VIDEOINFOHEADER whose
// width is a positive multiple of 8, whose height is an even number of at least 4 (no top-down
// bitmaps), whose frame lies within the 2048 x 1536 sensor (and so fits a RawFrames buffer), whose 24-bit image size holds the whole
// picture, and whose frame interval (or, when it gives none, CurrentInterval) is at least the
// shortest advertised one.
bool FormatIsServable(const KSDATAFORMAT* Format, LONGLONG CurrentInterval);
