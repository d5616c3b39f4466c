// The framework's two notification calls. Only request completion is acted on; the other
// notification types (ready for the next request, events) are accepted and ignored, as the
// driver does not use them.
#include <cstdarg>

#include "host/framework/request.h"
#include "platform/strmini.h"

void StreamClassDeviceNotification(STREAM_MINIDRIVER_DEVICE_NOTIFICATION_TYPE NotificationType,
                                   PVOID HwDeviceExtension, ...) {
    if (NotificationType != DeviceRequestComplete) return;
    va_list args;
    va_start(args, HwDeviceExtension);
    auto srb = va_arg(args, PHW_STREAM_REQUEST_BLOCK);
    va_end(args);
    host::framework::CompleteRequest(srb, false,
                                     "StreamClassDeviceNotification(DeviceRequestComplete)");
}

void StreamClassStreamNotification(STREAM_MINIDRIVER_STREAM_NOTIFICATION_TYPE NotificationType,
                                   PHW_STREAM_OBJECT StreamObject, ...) {
    if (NotificationType != StreamRequestComplete) return;
    va_list args;
    va_start(args, StreamObject);
    auto srb = va_arg(args, PHW_STREAM_REQUEST_BLOCK);
    va_end(args);
    host::framework::CompleteRequest(srb, true,
                                     "StreamClassStreamNotification(StreamRequestComplete)");
}
