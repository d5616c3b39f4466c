// Recovery from a failed streaming transfer, run by the reader thread before its next
// submission: with the camera still connected, abort the video pipe, let the transfers in
// flight drain, reset the port and the pipe; without it, or when a reset fails, stop the
// stream. Each recovery leaves one trace line.
#pragma once

#include "driver/device_context.h"

// PASSIVE_LEVEL, on the reader thread. Kind is the ResetRequest value that asked for it (1..4).
void RecoverFromTransferError(DeviceContext* Device, LONG Kind);

// Free transfer slots the recovery waits for: all but the one the reader thread holds.
constexpr ULONG kRecoveryFreeSlots = kTransferSlotCount - 1;
// Pause between two counts of free slots (1 ms, relative).
constexpr LONGLONG kRecoveryPollInterval = -10000;
