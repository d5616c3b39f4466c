// Bringing the camera from a bare USB device to a configured one: its descriptors are read,
// its first interface is selected and the pipe handles are recorded in the DeviceContext.
#pragma once

#include "platform/types.h"
#include "platform/usb.h"

struct DeviceContext;

// Reads the device and configuration descriptors, selects the first interface of the
// configuration and fills PipeHandles ([2] null with two endpoints). The device is not
// trusted: a configuration descriptor shorter than it claims or that does not hold its
// descriptors whole, one without an interface, or an interface with fewer than two endpoints
// fails with STATUS_DEVICE_DATA_ERROR. A failed request fails with its status. Every buffer
// taken here is freed before returning. PASSIVE_LEVEL.
NTSTATUS ConfigureCameraInterface(DeviceContext* Device);

// Checks that a configuration descriptor of Received bytes is whole: its header and every
// descriptor within wTotalLength lie inside the bytes received, and its first interface
// descriptor is followed by at least two endpoints and by as many as it announces. Returns the
// first interface descriptor or null.
PUSB_INTERFACE_DESCRIPTOR FindUsableInterface(PUSB_CONFIGURATION_DESCRIPTOR Configuration,
                                              ULONG Received);
