// The camera's query and write sequences behind the window and value properties: each sets a
// CommandCode, sends the block, reads the reply where there is one and restores CommandCode 14.
#pragma once

#include "platform/types.h"

struct DeviceContext;

// The window: four 32-bit values, FrameHeight, FrameWidth, WindowX, WindowY as the camera
// holds them (CommandBlock offsets 16..31 on the way out, StatusBlock offsets 4..19 back).
constexpr ULONG kWindowValueBytes = 16;

// Read window (CommandCode 3): copies the 16 reply bytes at StatusBlock offset 4 into Window.
// Without a status pipe the bytes of the last StatusBlock come back unchanged. A failed send or
// read returns its status and leaves Window as it was. PASSIVE_LEVEL.
NTSTATUS QueryCameraWindow(DeviceContext* Device, PVOID Window);

// Read value (CommandCode 5): the 32-bit reply at StatusBlock offset 4, as above. PASSIVE_LEVEL.
NTSTATUS QueryCameraValue(DeviceContext* Device, PULONG Value);

// Write window (CommandCode 4): copies Window over CommandBlock offsets 16..31 and sends it.
// Refuses with STATUS_INVALID_PARAMETER, sending and changing nothing, a window whose size is
// not the current frame size (the raw buffers and the pipeline are sized from it) or that
// does not lie inside the 2048 x 1536 sensor with the current read-out mode. Returns the
// send's status. PASSIVE_LEVEL.
NTSTATUS WriteCameraWindow(DeviceContext* Device, const VOID* Window);
