// The layout table of the platform's published headers, and of the driver's records as the
// image lays them out: compiled by the MinGW-w64 cross compiler only (never linked), its .abi
// section taken out as raw words. The 32-bit host build's test computes the same lists from the
// host's headers and compares.
#include "driver/device_context.h"
#include "host/image/system_exports.h"
#include "image/abi_signature.h"
#include "image/driver_records.h"
#include "image/platform_records.h"
#include "platform/registry.h"
#include "platform/strmini.h"
#include "platform/usb.h"

#include <stddef.h>
#include <string.h>

// The driver's spelling wraps the routine to set the x87 precision; the table wants the
// platform's own declaration.
#undef KeSaveFloatingPointState

#define VEXACAM_ABI_RECORD(Type) sizeof(Type), alignof(Type),
#define VEXACAM_ABI_FIELD(Type, Member) static_cast<unsigned>(offsetof(Type, Member)),
#define VEXACAM_ABI_CALLBACK(Type) AbiSignature<Type>::Value,
#define VEXACAM_ABI_VALUE(Expression) static_cast<unsigned>(Expression),
#define VEXACAM_ABI_EXPORT(Module, Routine) AbiSignature<decltype(&Routine)>::Value,

extern "C" __attribute__((section(".abi"), used)) const unsigned VexacamPlatformAbi[] = {
    VEXACAM_FOR_EACH_PLATFORM_RECORD(VEXACAM_ABI_RECORD, VEXACAM_ABI_FIELD, VEXACAM_ABI_CALLBACK,
                                     VEXACAM_ABI_VALUE)
    VEXACAM_FOR_EACH_SYSTEM_EXPORT(VEXACAM_ABI_EXPORT)
    VEXACAM_FOR_EACH_DRIVER_RECORD(VEXACAM_ABI_RECORD, VEXACAM_ABI_FIELD)
    kAbiTableEnd  // the section may be padded after it
};
