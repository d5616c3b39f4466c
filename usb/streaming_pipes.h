// Pipe requests of the streaming engine: abort a pipe (its pending transfers complete as
// cancelled) and reset it with its stall cleared. Synchronous, PASSIVE_LEVEL. Each returns
// the request's status, or STATUS_UNSUCCESSFUL when the stack took it and its URB failed. A
// null pipe (a missing endpoint) is skipped with success.
#pragma once

#include "driver/device_context.h"

NTSTATUS AbortPipe(DeviceContext* Device, ULONG PipeIndex);
NTSTATUS ResetPipeAndClearStall(DeviceContext* Device, ULONG PipeIndex);
// Abort, then reset and clear stall; the reset is not tried after a failed abort.
NTSTATUS AbortAndResetPipe(DeviceContext* Device, ULONG PipeIndex);
