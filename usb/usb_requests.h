// The driver's synchronous requests to the USB stack below it: submit a URB and wait, reset
// the port, read the port status. Each builds an internal device-control request to the
// camera's physical device object and waits for it, so all three are PASSIVE_LEVEL only.
//
// A camera that stops answering must not hang its caller, nor whatever waits behind it: each
// request waits at most kUsbRequestTimeLimit, then cancels itself, waits for the cancellation
// to finish, and returns STATUS_IO_TIMEOUT.
#pragma once

#include "platform/kernel.h"
#include "platform/usb.h"

struct DeviceContext;

// How long a synchronous request may take (5 s, in 100 ns units). The camera answers a 48- or
// 64-byte block in milliseconds.
constexpr LONGLONG kUsbRequestTimeLimit = 5 * 1000 * 10000LL;

// Sends Urb to LowerDevice and returns the request's final status; the URB's own status is
// left in it for the caller. STATUS_INSUFFICIENT_RESOURCES when the request cannot be built,
// STATUS_IO_TIMEOUT when it was not answered in time.
NTSTATUS SubmitUrbSync(DeviceContext* Device, PURB Urb);

// Resets the camera's port.
NTSTATUS ResetUsbPort(DeviceContext* Device);

// Clears *PortStatus, then asks DeviceObject for the port status bits (USBD_PORT_CONNECTED...).
NTSTATUS GetUsbPortStatus(PDEVICE_OBJECT DeviceObject, PULONG PortStatus);
