// PROVISIONAL: the property tables live here only until the control property sets land in
// controls/, which then owns them (and this file goes). Items and sizes are final; the
// video processing amplifier items still lack their published value ranges.
#include "driver/property_sets.h"

namespace {

#define GET_ONLY(id, minProperty, minData) \
    DEFINE_KSPROPERTY_ITEM(id, TRUE, minProperty, minData, FALSE, nullptr, 0, nullptr, nullptr, 0)
#define GET_SET(id, minProperty, minData, serializedSize)                                   \
    DEFINE_KSPROPERTY_ITEM(id, TRUE, minProperty, minData, TRUE, nullptr, 0, nullptr, nullptr, \
                           serializedSize)

constinit const KSPROPERTY_ITEM VideoControlItems[] = {
    GET_ONLY(KSPROPERTY_VIDEOCONTROL_CAPS, sizeof(KSPROPERTY_VIDEOCONTROL_CAPS_S),
             sizeof(KSPROPERTY_VIDEOCONTROL_CAPS_S)),
    GET_ONLY(KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE,
             sizeof(KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S),
             sizeof(KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S)),
    GET_ONLY(KSPROPERTY_VIDEOCONTROL_FRAME_RATES, sizeof(KSPROPERTY), sizeof(KSMULTIPLE_ITEM)),
    GET_SET(KSPROPERTY_VIDEOCONTROL_MODE, sizeof(KSPROPERTY_VIDEOCONTROL_MODE_S),
            sizeof(KSPROPERTY_VIDEOCONTROL_MODE_S), 0),
};

#define CAMERA_ITEM(id) GET_SET(id, sizeof(KSPROPERTY), sizeof(ULONG), sizeof(ULONG))

constinit const KSPROPERTY_ITEM CameraControlItems[] = {
    CAMERA_ITEM(0),
    CAMERA_ITEM(1),
    CAMERA_ITEM(2),
    CAMERA_ITEM(3),
    CAMERA_ITEM(4),
    CAMERA_ITEM(5),
    CAMERA_ITEM(6),
    CAMERA_ITEM(7),
    CAMERA_ITEM(8),
    CAMERA_ITEM(9),
    CAMERA_ITEM(10),
    CAMERA_ITEM(11),
    CAMERA_ITEM(12),
    CAMERA_ITEM(13),
    CAMERA_ITEM(14),
    CAMERA_ITEM(15),
    CAMERA_ITEM(16),
    CAMERA_ITEM(17),
    CAMERA_ITEM(18),
    CAMERA_ITEM(19),
    CAMERA_ITEM(20),
    CAMERA_ITEM(21),
    CAMERA_ITEM(22),
    CAMERA_ITEM(23),
    CAMERA_ITEM(24),
    CAMERA_ITEM(25),
    CAMERA_ITEM(26),
    CAMERA_ITEM(27),
    CAMERA_ITEM(28),
    CAMERA_ITEM(29),
    CAMERA_ITEM(30),
    CAMERA_ITEM(31),
    CAMERA_ITEM(32),
    CAMERA_ITEM(33),
    CAMERA_ITEM(34),
    CAMERA_ITEM(35),
    CAMERA_ITEM(36),
    CAMERA_ITEM(37),
    CAMERA_ITEM(38),
};

#define PROCAMP_ITEM(id)                                                                   \
    GET_SET(id, sizeof(KSPROPERTY_VIDEOPROCAMP_S), sizeof(KSPROPERTY_VIDEOPROCAMP_S), \
            sizeof(ULONG))

constinit const KSPROPERTY_ITEM VideoProcAmpItems[] = {
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_CONTRAST),
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_GAMMA),
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_GAIN),
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE),
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_SATURATION),
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_SHARPNESS),
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS),
};

constinit const KSPROPERTY_ITEM ConnectionItems[] = {
    GET_ONLY(KSPROPERTY_CONNECTION_ALLOCATORFRAMING, sizeof(KSPROPERTY),
             sizeof(KSALLOCATOR_FRAMING)),
};

constinit const KSPROPERTY_ITEM DroppedFramesItems[] = {
    GET_ONLY(KSPROPERTY_DROPPEDFRAMES_CURRENT, sizeof(KSPROPERTY_DROPPEDFRAMES_CURRENT_S),
             sizeof(KSPROPERTY_DROPPEDFRAMES_CURRENT_S)),
};

template <typename T, ULONG N>
constexpr ULONG CountOf(const T (&)[N]) {
    return N;
}

}  // namespace

constinit KSPROPERTY_SET DevicePropertySets[kDevicePropertySetCount] = {
    DEFINE_KSPROPERTY_SET(&PROPSETID_VIDCAP_VIDEOCONTROL, CountOf(VideoControlItems),
                          VideoControlItems, 0, nullptr),
    DEFINE_KSPROPERTY_SET(&CameraControlSet, CountOf(CameraControlItems), CameraControlItems, 0,
                          nullptr),
    DEFINE_KSPROPERTY_SET(&PROPSETID_VIDCAP_VIDEOPROCAMP, CountOf(VideoProcAmpItems),
                          VideoProcAmpItems, 0, nullptr),
};

constinit KSPROPERTY_SET StreamPropertySets[kStreamPropertySetCount] = {
    DEFINE_KSPROPERTY_SET(&KSPROPSETID_Connection, CountOf(ConnectionItems), ConnectionItems, 0,
                          nullptr),
    DEFINE_KSPROPERTY_SET(&PROPSETID_VIDCAP_DROPPEDFRAMES, CountOf(DroppedFramesItems),
                          DroppedFramesItems, 0, nullptr),
    DEFINE_KSPROPERTY_SET(&PROPSETID_VIDCAP_VIDEOCONTROL, CountOf(VideoControlItems),
                          VideoControlItems, 0, nullptr),
};
