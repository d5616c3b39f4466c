// Device bring-up and teardown: the work of SRB_INITIALIZE_DEVICE and SRB_UNINITIALIZE_DEVICE.
// Everything streaming and the image pipeline use is allocated here once, at its largest size.
#include "controls/settings_store.h"
#include "driver/adapter_services.h"
#include "driver/capture_stream.h"
#include "driver/device_context.h"
#include "driver/frame_timer.h"
#include "driver/stream_description.h"
#include "platform/kernel.h"
#include "platform/strmini.h"
#include "usb/camera_defaults.h"
#include "usb/command_lock.h"
#include "usb/pipeline_tables.h"
#include "usb/streaming.h"
#include "usb/transfer_resources.h"
#include "usb/usb_configuration.h"

namespace {

constexpr LONG kFreeSlotsAtRest = kTransferSlotCount;

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

VOID InitializeStreamingObjects(DeviceContext* Device) {
    KeInitializeEvent(&Device->StopEvent, SynchronizationEvent, FALSE);
    KeInitializeTimer(&Device->FrameTimer);
    KeInitializeDpc(&Device->FrameDpc, FrameTimerDpc, Device);
    KeInitializeSemaphore(&Device->FreeSlotSemaphore, kFreeSlotsAtRest, kFreeSlotsAtRest);
}

VOID ReleaseAllocations(DeviceContext* Device) {
    ReleaseTransferResources(Device);
    FreePipelineTables(Device);
}

// A context whose initialization completed holds its last table; one that failed holds none.
BOOLEAN IsInitialized(const DeviceContext* Device) {
    return Device->GammaTable != nullptr;
}

}  // namespace

VOID WriteCameraDefaults(DeviceContext* Device) {
    WriteCommandDefaults(&Device->Command);
    Device->VideoModel = 1;
    Device->LightModel = 2;
    Device->Contrast = 16;
    Device->CrossMid = 1;
    Device->CaptureCountdown = 9;
    Device->Saturntion = 8;
    Device->Sharp = 1;
}

// SRB_INITIALIZE_DEVICE, from AdapterReceivePacket at PASSIVE_LEVEL, before any stream exists.
NTSTATUS InitializeCamera(DeviceContext* Device, PPORT_CONFIGURATION_INFORMATION ConfigInfo) {
    RtlZeroMemory(Device, sizeof(*Device));
    KeInitializeSpinLock(&Device->DeviceLock);
    ConfigInfo->StreamDescriptorSize = kStreamDescriptorSize;
    Device->LowerDevice = ConfigInfo->PhysicalDeviceObject;
    Device->Stream = nullptr;
    InitializeCommandLock(Device);
    KeInitializeEvent(&Device->StreamControlLock, SynchronizationEvent, TRUE);

    NTSTATUS Status = ConfigureCameraInterface(Device);
    if (!NT_SUCCESS(Status)) return Status;

    if (!NT_SUCCESS(AllocateTransferResources(Device))) return STATUS_INSUFFICIENT_RESOURCES;
    InitializeStreamingObjects(Device);
    PreformatTransferSlots(Device, TransferCompletion);

    // Nothing built so far is of use without the tables: a failure here releases it all.
    if (!NT_SUCCESS(AllocatePipelineTables(Device))) {
        ReleaseAllocations(Device);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    WriteCameraDefaults(Device);
    LoadStoredSettings(Device);
    return STATUS_SUCCESS;
}

// SRB_UNINITIALIZE_DEVICE, from AdapterReceivePacket at PASSIVE_LEVEL. Stops the reader thread
// before freeing what it and the transfer completion use.
NTSTATUS UninitializeCamera(DeviceContext* Device) {
    // A failed initialization left nothing running and nothing allocated; saving its zeroed
    // settings would overwrite the user's stored ones.
    if (!IsInitialized(Device)) {
        ReleaseAllocations(Device);
        return STATUS_SUCCESS;
    }
    StopStreaming(Device);
    CloseCaptureStream(Device);  // a stream still open at teardown
    StopFrameTimer(Device);
    ReleaseAllocations(Device);
    return STATUS_SUCCESS;
}
