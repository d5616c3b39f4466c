// The camera's USB side: configuration, transfer slots, raw-frame buffers and the kernel
// objects of the streaming engine, allocated once at their largest size.
#include "usb/camera_device.h"

#include "usb/command_lock.h"
#include "usb/streaming.h"
#include "usb/transfer_resources.h"
#include "usb/usb_configuration.h"

namespace {

constexpr LONG kFreeSlotsAtRest = kTransferSlotCount;

VOID InitializeStreamingObjects(DeviceContext* Device) {
    KeInitializeEvent(&Device->StopEvent, SynchronizationEvent, FALSE);
    KeInitializeSemaphore(&Device->FreeSlotSemaphore, kFreeSlotsAtRest, kFreeSlotsAtRest);
}

}  // namespace

VOID WriteCommandDefaults(CommandBlock* Command) {
    Command->BlockLength = 44;
    Command->CommandCode = kCommandApply;
    Command->Fixed = 1;
    Command->FrameHeight = kSensorHeight;
    Command->FrameWidth = kSensorWidth;
    Command->Exposal = 100;
    Command->AllGain[0] = Command->AllGain[1] = Command->AllGain[2] = 25;
    Command->Control = 1;
    Command->RunCode = kRunCodeRun;
    Command->OptionA = 1;
    Command->OptionB = 1;
}

// Part of the adapter's SRB_INITIALIZE_DEVICE handler, PASSIVE_LEVEL.
NTSTATUS InitializeCamera(DeviceContext* Device, PDEVICE_OBJECT PhysicalDeviceObject) {
    RtlZeroMemory(Device, sizeof(*Device));
    KeInitializeSpinLock(&Device->DeviceLock);
    Device->LowerDevice = PhysicalDeviceObject;
    Device->Stream = nullptr;
    InitializeCommandLock(Device);

    NTSTATUS Status = ConfigureCameraInterface(Device);
    if (!NT_SUCCESS(Status)) return Status;
    if (!NT_SUCCESS(AllocateTransferResources(Device))) return STATUS_INSUFFICIENT_RESOURCES;
    InitializeStreamingObjects(Device);
    PreformatTransferSlots(Device, TransferCompletion);
    WriteCommandDefaults(&Device->Command);
    return STATUS_SUCCESS;
}

// Part of the adapter's SRB_UNINITIALIZE_DEVICE handler, after the engine has stopped.
VOID UninitializeCamera(DeviceContext* Device) { ReleaseTransferResources(Device); }
