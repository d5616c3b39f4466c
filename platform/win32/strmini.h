// Kernel build: the stream-class framework interface from the platform's strmini.h (request
// block, stream object, registration and description records, notifications), exported by
// stream.sys.
#pragma once

#include "platform/win32/ks.h"

// The header carries no C linkage block of its own, and it declares the device notification
// with a fixed list of six arguments where stream.sys takes a variable list (a completion
// passes three). The header's declaration is set aside and the variable one declared instead.
#define StreamClassDeviceNotification VexacamFixedArgumentsStreamClassDeviceNotification
extern "C" {
#include <strmini.h>
}
#undef StreamClassDeviceNotification

extern "C" VOID __cdecl StreamClassDeviceNotification(
    STREAM_MINIDRIVER_DEVICE_NOTIFICATION_TYPE NotificationType, PVOID HwDeviceExtension, ...);

static_assert(sizeof(HW_STREAM_HEADER) == 40);
static_assert(sizeof(HW_STREAM_INFORMATION) == 80);
static_assert(sizeof(HW_INITIALIZATION_DATA) == 60);
