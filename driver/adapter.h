// The driver's entry points towards the stream-class framework: registration and the three
// adapter routines.
#pragma once

#include "platform/kernel.h"
#include "platform/strmini.h"

// Called once by the system when the driver is loaded, at PASSIVE_LEVEL: registers the adapter
// and returns the framework's status unchanged.
extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);

// Every adapter (device-level) request; completes it before returning. PASSIVE_LEVEL.
void STREAMAPI AdapterReceivePacket(PHW_STREAM_REQUEST_BLOCK Srb);

// The framework cancels a pending request. A read still in the read queue is completed as
// cancelled; anything the frame path has taken is completed by that path.
void STREAMAPI AdapterCancelPacket(PHW_STREAM_REQUEST_BLOCK Srb);

// A pending request's time-out ran out: the count restarts, the request stays pending.
void STREAMAPI AdapterTimeoutPacket(PHW_STREAM_REQUEST_BLOCK Srb);
