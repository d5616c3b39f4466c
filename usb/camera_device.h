// The camera's USB side brought up and torn down: the work the adapter's initialize and
// uninitialize handlers (driver/device_lifecycle.h) hand to the transport.
#pragma once

#include "driver/device_context.h"

// Zero-fills the DeviceContext, takes the camera's physical device object as LowerDevice,
// configures its first interface, builds the ten transfer slots and eight raw-frame buffers,
// the engine's event and semaphore, the control channel's lock, and writes the CommandBlock's
// defaults. On failure everything built is released and the failing status returned
// (STATUS_INSUFFICIENT_RESOURCES for an allocation). PASSIVE_LEVEL, before any stream exists.
NTSTATUS InitializeCamera(DeviceContext* Device, PDEVICE_OBJECT PhysicalDeviceObject);

// Releases what InitializeCamera built; the engine must be stopped. Safe on a partly built or
// failed initialization. PASSIVE_LEVEL.
VOID UninitializeCamera(DeviceContext* Device);

// The CommandBlock's values at initialization: the whole sensor, exposure 100, gain 25,
// read-out mode 1, run code 14. On top of a zero-filled block.
VOID WriteCommandDefaults(CommandBlock* Command);
