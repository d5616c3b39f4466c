// Pipe requests of the streaming engine: abort a pipe (its pending transfers complete as
// cancelled) and reset it with its stall cleared. Synchronous, PASSIVE_LEVEL; their status is
// not looked at. A null pipe (a missing endpoint) is skipped.
#pragma once

#include "driver/device_context.h"

void AbortPipe(DeviceContext* Device, ULONG PipeIndex);
void ResetPipeAndClearStall(DeviceContext* Device, ULONG PipeIndex);
// Abort, then reset and clear stall.
void AbortAndResetPipe(DeviceContext* Device, ULONG PipeIndex);
