// The frame-rate timer: FrameTimer fires every half frame interval and, when a frame period is
// due while running, completes the oldest request of the FrameRing with its time stamps or
// counts the period as dropped.
#pragma once

#include "driver/device_context.h"

// The DPC routine of FrameDpc (DeferredContext is the DeviceContext). Runs at DISPATCH_LEVEL at
// each expiry of FrameTimer; re-arms the timer until it finds the stream stopped or closed.
KDEFERRED_ROUTINE FrameTimerDpc;

// Arms FrameTimer for half of Interval from now (a relative due time, truncated towards zero).
void ArmFrameTimer(DeviceContext* Device, LONGLONG Interval);

// Ends the timer chain for good before the StreamContext goes away: the caller has already set
// the stream's State to stop (so a running FrameTimerDpc does not re-arm twice). Cancels the
// timer and waits for a queued or running FrameTimerDpc. PASSIVE_LEVEL.
void StopFrameTimer(DeviceContext* Device);
