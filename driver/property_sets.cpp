// The property sets the driver registers, each pointing at its item table: the device sets of
// the controls, and the capture stream's sets.
#include "driver/property_sets.h"

#include "controls/property_sets.h"
#include "driver/stream_properties.h"

constinit KSPROPERTY_SET DevicePropertySets[kDevicePropertySetCount] = {
    DEFINE_KSPROPERTY_SET(&PROPSETID_VIDCAP_VIDEOCONTROL, kVideoControlItemCount, VideoControlProperties, 0, nullptr),
    DEFINE_KSPROPERTY_SET(&CameraControlSet, kCameraControlItemCount, CameraControlProperties, 0, nullptr),
    DEFINE_KSPROPERTY_SET(&PROPSETID_VIDCAP_VIDEOPROCAMP, kVideoProcAmpItemCount, VideoProcAmpProperties, 0, nullptr),
};

constinit KSPROPERTY_SET StreamPropertySets[kStreamPropertySetCount] = {
    DEFINE_KSPROPERTY_SET(&KSPROPSETID_Connection, kConnectionStreamPropertyCount,
                          ConnectionStreamProperties, 0, nullptr),
    DEFINE_KSPROPERTY_SET(&PROPSETID_VIDCAP_DROPPEDFRAMES, kDroppedFramesStreamPropertyCount,
                          DroppedFramesStreamProperties, 0, nullptr),
    DEFINE_KSPROPERTY_SET(&PROPSETID_VIDCAP_VIDEOCONTROL, kVideoControlItemCount, VideoControlProperties, 0, nullptr),
};
