// Recovery from a failed streaming transfer, run by the reader thread before its next
// submission: with the camera still connected, abort the video pipe, let the transfers in
// flight drain, reset the port and the pipe; without it, stop the stream.
#pragma once

#include "driver/device_context.h"

// PASSIVE_LEVEL, on the reader thread.
void RecoverFromTransferError(DeviceContext* Device);

// Free transfer slots the recovery waits for: all but the one the reader thread holds.
constexpr ULONG kRecoveryFreeSlots = kTransferSlotCount - 1;
// Pause between two counts of free slots (1 ms, relative).
constexpr LONGLONG kRecoveryPollInterval = -10000;
