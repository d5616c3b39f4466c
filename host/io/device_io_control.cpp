// IoBuildDeviceIoControlRequest: an I/O-manager IRP for a (internal) device-control request.
#include "platform/io.h"

#include "host/verifier/verifier.h"

namespace {

constexpr ULONG kSystemBufferTag = 'I' | ('o' << 8) | ('B' << 16) | ('f' << 24);

// METHOD_BUFFERED: one system buffer large enough for both directions, holding the input.
bool AttachSystemBuffer(PIRP irp, PVOID input, ULONG inputLength, PVOID output,
                        ULONG outputLength) {
    ULONG size = inputLength > outputLength ? inputLength : outputLength;
    if (size == 0) return true;
    PVOID buffer = ExAllocatePoolWithTag(NonPagedPool, size, kSystemBufferTag);
    if (buffer == nullptr) return false;
    RtlZeroMemory(buffer, size);
    if (input != nullptr && inputLength != 0) RtlCopyMemory(buffer, input, inputLength);
    irp->AssociatedIrp.SystemBuffer = buffer;
    irp->UserBuffer = output;
    irp->Tail.Overlay.DriverContext[0] = reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(outputLength));
    return true;
}

}  // namespace

// Any caller at PASSIVE_LEVEL.
PIRP IoBuildDeviceIoControlRequest(ULONG IoControlCode, PDEVICE_OBJECT DeviceObject,
                                   PVOID InputBuffer, ULONG InputBufferLength,
                                   PVOID OutputBuffer, ULONG OutputBufferLength,
                                   BOOLEAN InternalDeviceIoControl, PKEVENT Event,
                                   PIO_STATUS_BLOCK IoStatusBlock) {
    host::VerifyPassiveLevel("IoBuildDeviceIoControlRequest");
    PIRP irp = IoAllocateIrp(DeviceObject->StackSize, FALSE);
    if (irp == nullptr) return nullptr;
    irp->AllocationFlags |= IRP_BUILT_BY_IO_MANAGER;
    irp->RequestorMode = KernelMode;
    irp->UserIosb = IoStatusBlock;
    irp->UserEvent = Event;

    PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
    stack->MajorFunction =
        InternalDeviceIoControl ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
    stack->Parameters.DeviceIoControl.IoControlCode = IoControlCode;
    stack->Parameters.DeviceIoControl.InputBufferLength = InputBufferLength;
    stack->Parameters.DeviceIoControl.OutputBufferLength = OutputBufferLength;

    if ((IoControlCode & 3) == METHOD_BUFFERED) {
        if (!AttachSystemBuffer(irp, InputBuffer, InputBufferLength, OutputBuffer,
                                OutputBufferLength)) {
            IoFreeIrp(irp);
            return nullptr;
        }
    } else {
        // METHOD_NEITHER (and the direct methods, which the host maps the same way): the
        // callee sees the caller's own buffers.
        stack->Parameters.DeviceIoControl.Type3InputBuffer = InputBuffer;
        irp->UserBuffer = OutputBuffer;
    }
    return irp;
}
