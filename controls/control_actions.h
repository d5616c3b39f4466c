// Setting changes that more than one property (and the settings store) make the same way.
// All run at PASSIVE_LEVEL in a property request or the settings load, without a lock; the
// frame work item reads the same fields concurrently.
#pragma once

#include "driver/device_context.h"

constexpr UCHAR kAnalogGainMinimum = 8;
constexpr UCHAR kAnalogGainMaximum = 63;

// Asks the frame path to send the CommandBlock after the frame it is working on.
inline VOID MarkSettingsChanged(DeviceContext* Device) { WriteOnce(Device->SettingsChanged, 1); }

// Exposure by hand: taken only while automatic exposure is off (the automatic loop owns
// Exposal otherwise); marks the change for the camera.
VOID SetManualExposure(DeviceContext* Device, ULONG Value);

// Rebuilds one colour gain table for Value / 500 and marks the change.
VOID SetColourGain(DeviceContext* Device, PUCHAR Table, ULONG Value);

// Analog gain: the low byte of Value, clamped to 8..63, into all three AllGain bytes; marks.
VOID SetAnalogGain(DeviceContext* Device, ULONG Value);
// The same gain into all three AllGain bytes, as it stands (the settings load).
VOID StoreAnalogGain(DeviceContext* Device, UCHAR Gain);
UCHAR GetAnalogGain(const DeviceContext* Device);

// Stores the gamma index, clamped to the gamma table so no lookup can leave it, and rebuilds
// the tone table for that entry (nothing to rebuild when the gamma value is unchanged).
VOID SetGammaIndex(DeviceContext* Device, LONG Index);
