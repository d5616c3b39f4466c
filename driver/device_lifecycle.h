// The adapter's bring-up and teardown: SRB_INITIALIZE_DEVICE and SRB_UNINITIALIZE_DEVICE.
#pragma once

#include "driver/device_context.h"
#include "platform/strmini.h"

// SRB_INITIALIZE_DEVICE: the camera's USB side (InitializeCamera), the frame timer, the
// pipeline's tables and the settings' defaults, then the stored settings; reports
// StreamDescriptorSize in ConfigInfo. PASSIVE_LEVEL, before any stream exists.
NTSTATUS InitializeAdapter(DeviceContext* Device, PPORT_CONFIGURATION_INFORMATION ConfigInfo);

// SRB_UNINITIALIZE_DEVICE: stops streaming, closes the stream and frees every allocation.
// Always STATUS_SUCCESS. PASSIVE_LEVEL.
NTSTATUS UninitializeAdapter(DeviceContext* Device);
