// The property tables the framework checks requests against before they reach the handlers:
// item ids, minimum property and data sizes, get/set support, and the published ranges and
// defaults of the video processing amplifier.
#include "controls/property_sets.h"

namespace {

#define GET_ONLY(id, minProperty, minData) \
    DEFINE_KSPROPERTY_ITEM(id, TRUE, minProperty, minData, FALSE, nullptr, 0, nullptr, nullptr, 0)
#define GET_SET(id, minProperty, minData, values, serializedSize)                        \
    DEFINE_KSPROPERTY_ITEM(id, TRUE, minProperty, minData, TRUE, values, 0, nullptr, nullptr, \
                           serializedSize)


// One stepped range and one default per amplifier item, as clients read them to draw sliders.
#define PROCAMP_RANGE(name, minimum, maximum, defaultValue)                                       \
    constinit const KSPROPERTY_STEPPING_LONG name##Steps = {1, 0, {{minimum, maximum}}};           \
    constinit const LONG name##Default = defaultValue;                                             \
    constinit const KSPROPERTY_MEMBERSLIST name##Members[2] = {                                    \
        {{KSPROPERTY_MEMBER_STEPPEDRANGES, sizeof(KSPROPERTY_STEPPING_LONG), 1, 0}, &name##Steps}, \
        {{KSPROPERTY_MEMBER_VALUES, sizeof(LONG), 1, KSPROPERTY_MEMBER_FLAG_DEFAULT},              \
         &name##Default}};                                                                         \
    constinit const KSPROPERTY_VALUES name##Values = {                                             \
        {{{KSPROPTYPESETID_General, VT_I4, 0}}}, 2, name##Members};

PROCAMP_RANGE(Brightness, 1, 5000, 100)
PROCAMP_RANGE(Contrast, 1, 32, 16)
PROCAMP_RANGE(Saturation, 1, 6000, 500)
PROCAMP_RANGE(Sharpness, 1, 6000, 500)
PROCAMP_RANGE(Gamma, 1, 32, 16)
PROCAMP_RANGE(WhiteBalance, 1, 6000, 500)
PROCAMP_RANGE(Gain, 8, 63, 25)

#define CAMERA_ITEM(id) GET_SET(id, sizeof(KSPROPERTY), sizeof(ULONG), nullptr, sizeof(ULONG))
#define PROCAMP_ITEM(id, name) \
    GET_SET(id, sizeof(KSPROPERTY_VIDEOPROCAMP_S), sizeof(KSPROPERTY_VIDEOPROCAMP_S), &name##Values, sizeof(ULONG))

}  // namespace

constinit const KSPROPERTY_ITEM VideoControlProperties[kVideoControlItemCount] = {
    GET_ONLY(KSPROPERTY_VIDEOCONTROL_CAPS, sizeof(KSPROPERTY_VIDEOCONTROL_CAPS_S),
             sizeof(KSPROPERTY_VIDEOCONTROL_CAPS_S)),
    GET_ONLY(KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE, sizeof(KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S),
             sizeof(KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S)),
    GET_ONLY(KSPROPERTY_VIDEOCONTROL_FRAME_RATES, sizeof(KSPROPERTY), sizeof(KSMULTIPLE_ITEM)),
    // Published as settable, but a set is answered STATUS_NOT_IMPLEMENTED.
    GET_SET(KSPROPERTY_VIDEOCONTROL_MODE, sizeof(KSPROPERTY_VIDEOCONTROL_MODE_S),
            sizeof(KSPROPERTY_VIDEOCONTROL_MODE_S), nullptr, 0),
};

constinit const KSPROPERTY_ITEM CameraControlProperties[kCameraControlItemCount] = {
    CAMERA_ITEM(0),  CAMERA_ITEM(1),  CAMERA_ITEM(2),  CAMERA_ITEM(3),  CAMERA_ITEM(4),
    CAMERA_ITEM(5),  CAMERA_ITEM(6),  CAMERA_ITEM(7),  CAMERA_ITEM(8),  CAMERA_ITEM(9),
    CAMERA_ITEM(10), CAMERA_ITEM(11), CAMERA_ITEM(12), CAMERA_ITEM(13), CAMERA_ITEM(14),
    CAMERA_ITEM(15), CAMERA_ITEM(16), CAMERA_ITEM(17), CAMERA_ITEM(18), CAMERA_ITEM(19),
    CAMERA_ITEM(20), CAMERA_ITEM(21), CAMERA_ITEM(22), CAMERA_ITEM(23), CAMERA_ITEM(24),
    CAMERA_ITEM(25), CAMERA_ITEM(26), CAMERA_ITEM(27), CAMERA_ITEM(28), CAMERA_ITEM(29),
    CAMERA_ITEM(30), CAMERA_ITEM(31), CAMERA_ITEM(32), CAMERA_ITEM(33), CAMERA_ITEM(34),
    CAMERA_ITEM(35), CAMERA_ITEM(36), CAMERA_ITEM(37), CAMERA_ITEM(38),
};

constinit const KSPROPERTY_ITEM VideoProcAmpProperties[kVideoProcAmpItemCount] = {
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_CONTRAST, Contrast),
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_GAMMA, Gamma),
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_GAIN, Gain),
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, WhiteBalance),
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_SATURATION, Saturation),
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_SHARPNESS, Sharpness),
    PROCAMP_ITEM(KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, Brightness),
};
