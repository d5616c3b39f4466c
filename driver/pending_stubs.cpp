// PROVISIONAL: placeholders for routines whose real versions are still being written (stream
// requests, device properties, camera bring-up). Each owner deletes its placeholder from this
// file when the real routine lands. Until then the commands answer STATUS_NOT_IMPLEMENTED.
#include "driver/adapter_services.h"
#include "driver/capture_stream.h"
#include "driver/pending_settings.h"
#include "driver/stream_description.h"

// Settings store placeholder: only the format's geometry and frame interval are taken over.
bool LoadSettings(DeviceContext* Device, PHW_STREAM_REQUEST_BLOCK Srb, StreamContext* Stream) {
    const KS_VIDEOINFOHEADER& info =
        reinterpret_cast<const KS_DATAFORMAT_VIDEOINFOHEADER*>(Srb->CommandData.OpenFormat)
            ->VideoInfoHeader;
    ULONG width = static_cast<ULONG>(info.bmiHeader.biWidth);
    ULONG height = static_cast<ULONG>(info.bmiHeader.biHeight);
    Device->Command.FrameWidth = width;
    Device->Command.FrameHeight = height;
    Device->ImageSize = info.bmiHeader.biSizeImage;
    Device->BitCount = info.bmiHeader.biBitCount;
    Device->TransfersPerFrame = width * height / kTransferBytes + 1;
    Device->TransfersLeft = Device->TransfersPerFrame;
    Device->LastTransferBytes = width * height % kTransferBytes;
    if (info.AvgTimePerFrame != 0) Stream->AvgTimePerFrame = info.AvgTimePerFrame;
    return true;
}

void SaveSettings(DeviceContext* Device) {}

void GetDeviceProperty(PHW_STREAM_REQUEST_BLOCK Srb) { Srb->Status = STATUS_NOT_IMPLEMENTED; }

void SetDeviceProperty(PHW_STREAM_REQUEST_BLOCK Srb) { Srb->Status = STATUS_NOT_IMPLEMENTED; }
