// PROVISIONAL: placeholders for routines whose real versions are still being written (stream
// requests, device properties, camera bring-up). Each owner deletes its placeholder from this
// file when the real routine lands. Until then the commands answer STATUS_NOT_IMPLEMENTED.
#include "driver/adapter_services.h"
#include "driver/capture_stream.h"
#include "driver/stream_description.h"

void GetDeviceProperty(PHW_STREAM_REQUEST_BLOCK Srb) { Srb->Status = STATUS_NOT_IMPLEMENTED; }

void SetDeviceProperty(PHW_STREAM_REQUEST_BLOCK Srb) { Srb->Status = STATUS_NOT_IMPLEMENTED; }
