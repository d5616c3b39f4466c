// The two calibration captures, computed from the live raw frame into the pipeline's tables:
// flat-field gains that bring every pixel to the brightness of the frame's centre, and the
// positions of pixels that stand out from their same-colour neighbours. Each table is in
// effect as soon as it is computed; keeping it (the driver's files) is the device's.
#pragma once

#include "imaging/image_pipeline.h"

// On the raw frame after the colour gains and the tone table, before the flat field: every
// GainMap entry of the frame becomes 64 x L / pixel (a pixel of 0 counts as 1), L the
// weighted mean brightness of the frame's central half. Frames larger than the map capture
// nothing.
VOID CaptureGainMap(ULONG Width, ULONG Height, const UCHAR* Frame, ImagePipeline* Pipeline);

// On the raw frame before defect correction: records every pixel (columns and rows 2 .. n - 4)
// that differs by 20 or more from the mean of its two same-colour neighbours on both axes, at
// most kDefectTableEntries, updating DefectCount row by row.
VOID CaptureDefectTable(const UCHAR* Frame, ULONG Height, ULONG Width, ImagePipeline* Pipeline);
