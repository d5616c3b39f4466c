// One reusable bulk transfer of the streaming engine: the request packet, its stack location
// for the lower driver, the bulk-transfer URB and the receive buffer, built once at device
// initialization and resubmitted for every transfer.
#pragma once

#include "platform/types.h"

struct _IO_STACK_LOCATION;
struct _IRP;
struct _URB;

// Bytes of one streaming bulk transfer; a raw frame arrives as whole transfers of this size
// plus one short transfer.
constexpr ULONG kTransferBytes = 0x80000;

struct TransferSlot {
    struct _IO_STACK_LOCATION* StackLocation;  // the next stack location of Irp
    struct _IRP* Irp;
    struct _URB* Urb;  // a bulk-or-interrupt transfer URB
    LONG Busy;         // 0 free, 1 claimed or in flight; changed only with interlocked calls
    PUCHAR Buffer;     // kTransferBytes of receive buffer
};
