// The streaming engine's reusable transfers and raw-frame buffers: built once at device
// initialization at their largest size, released at uninitialization.
#pragma once

#include "platform/io.h"
#include "platform/types.h"

struct DeviceContext;
struct TransferSlot;

// Builds every TransferSlot (IRP with one stack location more than LowerDevice needs, its next
// stack location, a bulk-transfer URB, a 512 KiB buffer) and the zeroed RawFrames. Returns
// STATUS_INSUFFICIENT_RESOURCES at the first failure, after releasing what was built.
// PASSIVE_LEVEL.
NTSTATUS AllocateTransferResources(DeviceContext* Device);

// Formats the slot's request as a 512 KiB bulk read of the video pipe that completes through
// Completion with the DeviceContext as context; its Busy flag is left as it is.
VOID FormatSlotTransfer(DeviceContext* Device, TransferSlot* Slot,
                        PIO_COMPLETION_ROUTINE Completion);

// Formats every slot's request as above; every slot free.
VOID PreformatTransferSlots(DeviceContext* Device, PIO_COMPLETION_ROUTINE Completion);

// Frees every raw frame and every slot's URB, IRP and buffer that exists, nulling each
// pointer (StackLocation with its URB). Safe on a partly built set.
VOID ReleaseTransferResources(DeviceContext* Device);
