// Serialises the camera's control channel. Every send of the CommandBlock and every query or
// write sequence holds this lock, so a send from the frame path never goes out carrying a query
// code and a query never reads the reply meant for another query. A synchronization event used
// as a mutex: the holder waits for USB transfers (each at most kUsbRequestTimeLimit), so a spin
// lock would not do.
#pragma once

#include "platform/types.h"
#include "usb/command_block.h"

struct DeviceContext;

// Called by InitializeCamera before anything can send.
VOID InitializeCommandLock(DeviceContext* Device);
// PASSIVE_LEVEL only; not recursive.
VOID AcquireCommandLock(DeviceContext* Device);
VOID ReleaseCommandLock(DeviceContext* Device);

// With the lock held: the send and the StatusBlock read themselves, with their status.
NTSTATUS SendCommandBlockLocked(DeviceContext* Device);
NTSTATUS ReadStatusBlockLocked(DeviceContext* Device);
