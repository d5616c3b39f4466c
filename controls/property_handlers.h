// The per-set handlers behind GetDeviceProperty / SetDeviceProperty. Data is the request's
// value buffer (PropertyInfo) of DataSize bytes, already checked by the framework against the
// item's MinData. PASSIVE_LEVEL.
#pragma once

#include "driver/device_context.h"

// CameraControlSet ids 0..38: 4-byte values, except id 18 (16 bytes both ways).
// *BytesReturned is 4 (16 for id 18) whether or not the id writes a value.
NTSTATUS GetCameraControl(DeviceContext* Device, ULONG Id, PVOID Data, ULONG DataSize,
                          PULONG BytesReturned);
NTSTATUS SetCameraControl(DeviceContext* Device, ULONG Id, PVOID Data, ULONG DataSize);

// Video processing amplifier; Data is a KSPROPERTY_VIDEOPROCAMP_S.
NTSTATUS GetVideoProcAmp(DeviceContext* Device, ULONG Id, PKSPROPERTY_VIDEOPROCAMP_S Data);
NTSTATUS SetVideoProcAmp(DeviceContext* Device, ULONG Id, PKSPROPERTY_VIDEOPROCAMP_S Data);

// Video control (get only); *BytesReturned is left alone for FRAME_RATES.
NTSTATUS GetVideoControl(ULONG Id, PVOID Data, PULONG BytesReturned);
