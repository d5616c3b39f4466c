// Device bring-up and teardown: the work of SRB_INITIALIZE_DEVICE and SRB_UNINITIALIZE_DEVICE.
// Everything streaming and the image pipeline use is allocated here once, at its largest size.
#include "driver/device_lifecycle.h"

#include "controls/settings_store.h"
#include "driver/capture_stream.h"
#include "driver/frame_handoff.h"
#include "driver/frame_timer.h"
#include "driver/stream_description.h"
#include "imaging/pipeline_tables.h"
#include "usb/camera_device.h"

namespace {

constexpr ULONG kSharpAtInstall = 1;

VOID ReleaseAllocations(DeviceContext* Device) {
    UninitializeCamera(Device);
    FreePipelineTables(&Device->Pipeline);
}

// A context whose initialization completed holds its last table; one that failed holds none.
BOOLEAN IsInitialized(const DeviceContext* Device) { return Device->Pipeline.GammaTable != nullptr; }

}  // namespace

NTSTATUS InitializeAdapter(DeviceContext* Device, PPORT_CONFIGURATION_INFORMATION ConfigInfo) {
    ConfigInfo->StreamDescriptorSize = kStreamDescriptorSize;
    NTSTATUS Status = InitializeCamera(Device, ConfigInfo->PhysicalDeviceObject);
    if (!NT_SUCCESS(Status)) return Status;
    KeInitializeTimer(&Device->FrameTimer);
    KeInitializeDpc(&Device->FrameDpc, FrameTimerDpc, Device);
    KeInitializeEvent(&Device->StreamControlLock, SynchronizationEvent, TRUE);
    Device->Client = &DriverStreamingClient;

    // Nothing built so far is of use without the tables: a failure here releases it all.
    if (!NT_SUCCESS(AllocatePipelineTables(&Device->Pipeline))) {
        ReleaseAllocations(Device);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    SetImageSettingDefaults(&Device->Image);
    Device->Sharp = kSharpAtInstall;
    LoadStoredSettings(Device);
    return STATUS_SUCCESS;
}

// Stops the reader thread before freeing what it and the transfer completion use.
NTSTATUS UninitializeAdapter(DeviceContext* Device) {
    // A failed initialization left nothing running and nothing allocated; saving its zeroed
    // settings would overwrite the user's stored ones.
    if (!IsInitialized(Device)) {
        ReleaseAllocations(Device);
        return STATUS_SUCCESS;
    }
    StopCaptureEngine(Device);
    CloseCaptureStream(Device);  // a stream still open at teardown
    StopFrameTimer(Device);
    ReleaseAllocations(Device);
    return STATUS_SUCCESS;
}
