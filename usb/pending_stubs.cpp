// Temporary stand-ins for the streaming engine until its own definitions land; they do
// nothing, so bring-up and teardown can be exercised on their own.
#include "usb/streaming.h"

NTSTATUS StartStreaming(DeviceContext*) { return STATUS_UNSUCCESSFUL; }

VOID StopStreaming(DeviceContext*) {}

NTSTATUS TransferCompletion(PDEVICE_OBJECT, PIRP, PVOID) {
    return STATUS_MORE_PROCESSING_REQUIRED;
}
