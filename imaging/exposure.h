// Brightness measurement and the two exposure controls (automatic and one-push).
#pragma once

#include "platform/types.h"

constexpr ULONG AutoExposureCap = 5000;
constexpr LONG ExposureUnchanged = -1;  // ProposeExposure: leave Exposal as it is
constexpr LONG ExposureDouble = 0;      // ProposeExposure: double Exposal (then cap it)

// Ten times a weighted mean level (0..2550) of the central 640 x 480 area, or of the whole
// frame when it is not larger than that.
ULONG MeasureBrightness(ULONG Width, ULONG Height, const UCHAR* Frame);

// Exposure that brings the brightness into the band of LightModel: ExposureUnchanged,
// ExposureDouble, or the new exposure (the caller caps it at Cap). Exposal is the current one.
LONG ProposeExposure(ULONG Width, ULONG Height, const UCHAR* Frame, ULONG Cap, ULONG Exposal,
                     UCHAR LightModel);

struct OnePushExposureResult {
    ULONG Exposal;     // the exposure to use (and send) from now on
    BOOLEAN Finished;  // the brightness is in the band (or Exposal was 0): clear the request
};

// One step of the one-push search: a few per cent up or down, or finished. The caller stores
// Exposal, clears OnePushExposure when Finished and sends the CommandBlock either way.
OnePushExposureResult OnePushExposureStep(ULONG Width, ULONG Height, const UCHAR* Frame,
                                          UCHAR LightModel, ULONG Exposal);
