// Video control: fixed answers. The camera flips vertically (the picture is delivered
// bottom-up) and runs at a nominal 15 frames per second.
#include "controls/property_handlers.h"

namespace {

constexpr LONGLONG kNominalFrameRate = 15;

}  // namespace

NTSTATUS GetVideoControl(ULONG Id, PVOID Data, PULONG BytesReturned) {
    switch (Id) {
    case KSPROPERTY_VIDEOCONTROL_CAPS: {
        auto* Caps = static_cast<PKSPROPERTY_VIDEOCONTROL_CAPS_S>(Data);
        Caps->VideoControlCaps = KS_VideoControlFlag_FlipVertical;
        *BytesReturned = sizeof(*Caps);
        return STATUS_SUCCESS;
    }
    case KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE: {
        auto* Rate = static_cast<PKSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S>(Data);
        Rate->CurrentActualFrameRate = kNominalFrameRate;
        Rate->CurrentMaxAvailableFrameRate = kNominalFrameRate;
        *BytesReturned = sizeof(*Rate);
        return STATUS_SUCCESS;
    }
    case KSPROPERTY_VIDEOCONTROL_FRAME_RATES:
        return STATUS_SUCCESS;  // no list of rates is offered
    case KSPROPERTY_VIDEOCONTROL_MODE: {
        auto* Mode = static_cast<PKSPROPERTY_VIDEOCONTROL_MODE_S>(Data);
        Mode->Mode = 0;
        *BytesReturned = sizeof(*Mode);
        return STATUS_SUCCESS;
    }
    default:
        return STATUS_NOT_IMPLEMENTED;
    }
}
