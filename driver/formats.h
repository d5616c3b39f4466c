// The capture stream's video formats: six uncompressed 24-bit RGB ranges from 2048 x 1536
// down to 640 x 480, and the checks that compare a client's format or range against them.
#pragma once

#include "platform/ks.h"
#include "platform/types.h"

constexpr ULONG kCaptureFormatCount = 6;

// Size of a format answer: the KSDATAFORMAT header plus the video info header up to its
// bitmap header; the bitmap header's own biSize follows.
constexpr ULONG kFormatHeaderBytes = sizeof(KSDATAFORMAT) + offsetof(KS_VIDEOINFOHEADER, bmiHeader);
static_assert(kFormatHeaderBytes == 112);

// Index: frame size. 0: 2048x1536, 1: 1600x1200, 2: 1280x1024, 3: 1024x768, 4: 800x600,
// 5: 640x480. Each entry points at a static KS_DATARANGE_VIDEO.
extern PKSDATAFORMAT CaptureFormats[kCaptureFormatCount];

// True when the candidate's major format, subformat and specifier equal the entry's, and,
// with CheckSize, its FormatSize equals the entry's too.
bool RangeMatches(const KSDATARANGE* Candidate, const KSDATARANGE* Entry, bool CheckSize);

// True when the format matches one entry of the stream's format table by its three GUIDs;
// frame size, bit count, image size and frame interval are not compared.
bool VerifyFormat(const KSDATAFORMAT* Format, ULONG StreamNumber);

// Bytes of one row of a bottom-up bitmap: padded to a multiple of four bytes.
ULONG BitmapStride(const KS_BITMAPINFOHEADER& Bitmap);

// Bytes of a whole bitmap; a negative height (a top-down bitmap) counts by its magnitude.
ULONG BitmapImageSize(const KS_BITMAPINFOHEADER& Bitmap);
