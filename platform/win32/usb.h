// Kernel build: the USB driver interface from the platform's published headers: descriptors
// and URBs (usbdi.h), the hub driver's internal device-control codes (usbioctl.h) and the
// configuration helpers exported by usbd.sys (usbdlib.h).
#pragma once

#include "platform/win32/types.h"

#include <usbdi.h>
#include <usbioctl.h>
// usbdlib.h carries no C linkage block of its own.
extern "C" {
#include <usbdlib.h>
}

// The URB sizes the transfer slots are built from; the same values the host's header pins.
static_assert(sizeof(struct _URB_HEADER) == 16);
static_assert(sizeof(struct _URB_PIPE_REQUEST) == 24);
static_assert(sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER) == 72);
static_assert(sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST) == 80);
static_assert(sizeof(USBD_PIPE_INFORMATION) == 20);
static_assert(sizeof(USBD_INTERFACE_INFORMATION) == 36);
static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18 && sizeof(USB_CONFIGURATION_DESCRIPTOR) == 9);
static_assert(sizeof(USB_INTERFACE_DESCRIPTOR) == 9 && sizeof(USB_ENDPOINT_DESCRIPTOR) == 7);
