// Driver registration.
#include "driver/adapter.h"
#include "driver/device_context.h"
#include "imaging/stage_bodies.h"
#include "imaging/vector_state.h"

namespace {

// Byte alignment mask the framework applies to data buffers.
constexpr ULONG kBufferAlignment = 3;

// The stream's own state lives in the StreamContext; the framework still wants a non-zero
// per-stream extension.
constexpr ULONG kPerStreamExtensionSize = 4;

}  // namespace

// Called by the system at load, PASSIVE_LEVEL.
extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath) {
    // The image stages' vector level, chosen once for every frame of every adapter: what the
    // processor offers, up to what the system saves for the driver. Said once, so that a
    // report from the field tells which bodies ran.
    SelectStageBodies(DetectVectorLevel());
    DbgPrintEx(DPFLTR_IHVVIDEO_ID, DPFLTR_INFO_LEVEL,
               "vexacam: image stages at %s, vector registers saved up to %lu bits\n",
               VectorLevelName(ActiveStageBodies().Level),
               static_cast<unsigned long>(SavedVectorBits()));
    HW_INITIALIZATION_DATA registration;
    RtlZeroMemory(&registration, sizeof(registration));
    registration.HwInitializationDataSize = sizeof(registration);
    registration.HwInterrupt = nullptr;
    registration.HwReceivePacket = AdapterReceivePacket;
    registration.HwCancelPacket = AdapterCancelPacket;
    registration.HwRequestTimeoutHandler = AdapterTimeoutPacket;
    registration.DeviceExtensionSize = sizeof(DeviceContext);
    registration.PerRequestExtensionSize = 0;
    registration.PerStreamExtensionSize = kPerStreamExtensionSize;
    registration.FilterInstanceExtensionSize = 0;
    registration.BusMasterDMA = FALSE;
    registration.Dma24BitAddresses = FALSE;
    registration.BufferAlignment = kBufferAlignment;
    // The driver synchronises itself: the framework may call its routines concurrently.
    registration.TurnOffSynchronization = TRUE;
    registration.DmaBufferSize = 0;
    return StreamClassRegisterAdapter(DriverObject, RegistryPath, &registration);
}
