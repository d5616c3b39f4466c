// Adapter property requests: find the set by its GUID and hand the value buffer to its handler.
#include "controls/property_handlers.h"
#include "controls/property_sets.h"

namespace {

constexpr ULONG kProcAmpBytes = sizeof(KSPROPERTY_VIDEOPROCAMP_S);

DeviceContext* DeviceOf(PHW_STREAM_REQUEST_BLOCK Srb) {
    return static_cast<DeviceContext*>(Srb->HwDeviceExtension);
}

}  // namespace

// SRB_GET_DEVICE_PROPERTY, from AdapterReceivePacket at PASSIVE_LEVEL.
void GetDeviceProperty(PHW_STREAM_REQUEST_BLOCK Srb) {
    const PSTREAM_PROPERTY_DESCRIPTOR Descriptor = Srb->CommandData.PropertyInfo;
    const GUID& Set = Descriptor->Property->Set;
    const ULONG Id = Descriptor->Property->Id;
    DeviceContext* Device = DeviceOf(Srb);
    ULONG Bytes = Srb->ActualBytesTransferred;
    // Gain values are read back from their tables in floating point.
    const NTSTATUS Saved = WithFloatingPointSaved([&] {
        if (IsEqualGUID(Set, PROPSETID_VIDCAP_VIDEOCONTROL)) {
            Srb->Status = GetVideoControl(Id, Descriptor->PropertyInfo, &Bytes);
        } else if (IsEqualGUID(Set, CameraControlSet)) {
            Srb->Status = GetCameraControl(Device, Id, Descriptor->PropertyInfo,
                                           Descriptor->PropertyOutputSize, &Bytes);
        } else if (IsEqualGUID(Set, PROPSETID_VIDCAP_VIDEOPROCAMP)) {
            Srb->Status = GetVideoProcAmp(Device, Id,
                                          static_cast<PKSPROPERTY_VIDEOPROCAMP_S>(Descriptor->PropertyInfo));
            Bytes = kProcAmpBytes;
        } else {
            Srb->Status = STATUS_NOT_IMPLEMENTED;
        }
    });
    if (!NT_SUCCESS(Saved)) Srb->Status = Saved;
    if (NT_SUCCESS(Srb->Status)) Srb->ActualBytesTransferred = Bytes;
}

// SRB_SET_DEVICE_PROPERTY, from AdapterReceivePacket at PASSIVE_LEVEL. The video control set
// offers nothing to set, MODE included.
void SetDeviceProperty(PHW_STREAM_REQUEST_BLOCK Srb) {
    const PSTREAM_PROPERTY_DESCRIPTOR Descriptor = Srb->CommandData.PropertyInfo;
    const GUID& Set = Descriptor->Property->Set;
    const ULONG Id = Descriptor->Property->Id;
    DeviceContext* Device = DeviceOf(Srb);
    // Gain and gamma values become tables in floating point.
    const NTSTATUS Saved = WithFloatingPointSaved([&] {
        if (IsEqualGUID(Set, CameraControlSet)) {
            Srb->Status = SetCameraControl(Device, Id, Descriptor->PropertyInfo,
                                           Descriptor->PropertyOutputSize);
        } else if (IsEqualGUID(Set, PROPSETID_VIDCAP_VIDEOPROCAMP)) {
            Srb->Status = SetVideoProcAmp(Device, Id,
                                          static_cast<PKSPROPERTY_VIDEOPROCAMP_S>(Descriptor->PropertyInfo));
        } else {
            Srb->Status = STATUS_NOT_IMPLEMENTED;
        }
    });
    if (!NT_SUCCESS(Saved)) Srb->Status = Saved;
}
