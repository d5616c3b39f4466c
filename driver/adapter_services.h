// Work that adapter requests hand to the USB and controls code: device bring-up and
// teardown, and the device property requests.
#pragma once

#include "driver/device_context.h"
#include "platform/strmini.h"

// SRB_INITIALIZE_DEVICE: zero-fills the context, configures the camera, allocates everything
// streaming needs and writes the defaults; reports StreamDescriptorSize in ConfigInfo.
NTSTATUS InitializeCamera(DeviceContext* Device, PPORT_CONFIGURATION_INFORMATION ConfigInfo);

// SRB_UNINITIALIZE_DEVICE: stops streaming, closes the stream and frees every allocation.
NTSTATUS UninitializeCamera(DeviceContext* Device);

// SRB_GET_DEVICE_PROPERTY / SRB_SET_DEVICE_PROPERTY; set srb->Status and the byte count.
void GetDeviceProperty(PHW_STREAM_REQUEST_BLOCK Srb);
void SetDeviceProperty(PHW_STREAM_REQUEST_BLOCK Srb);
