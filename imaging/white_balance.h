// One-push white balance: gain tables that make the three colour means of a frame equal.
#pragma once

#include "platform/types.h"

// Rewrites the three 256-entry tables from the means of the raw Bayer frame; the brightest
// colour keeps the identity. A black colour (mean 0) gives no usable factor: then none of the
// tables is changed. Called by the frame work item, PASSIVE_LEVEL.
VOID ComputeWhiteBalance(ULONG Width, ULONG Height, const UCHAR* Frame, PUCHAR RedGain,
                         PUCHAR GreenGain, PUCHAR BlueGain);
