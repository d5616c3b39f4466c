// The driver's synchronous requests to the USB stack below it: submit a URB and wait, reset
// the port, read the port status. Each builds an internal device-control request to the
// camera's physical device object and waits for it without a time-out, so all three are
// PASSIVE_LEVEL only.
#pragma once

#include "platform/kernel.h"
#include "platform/usb.h"

struct DeviceContext;

// Sends Urb to LowerDevice and returns the request's final status; the URB's own status is
// left in it for the caller. STATUS_INSUFFICIENT_RESOURCES when the request cannot be built.
NTSTATUS SubmitUrbSync(DeviceContext* Device, PURB Urb);

// Resets the camera's port.
NTSTATUS ResetUsbPort(DeviceContext* Device);

// Clears *PortStatus, then asks DeviceObject for the port status bits (USBD_PORT_CONNECTED...).
NTSTATUS GetUsbPortStatus(PDEVICE_OBJECT DeviceObject, PULONG PortStatus);
