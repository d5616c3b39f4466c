#include "controls/settings_store.h"

#include "controls/calibration.h"
#include "controls/stored_settings.h"
#include "controls/window_placement.h"
#include "imaging/gamma_table.h"
#include "imaging/tone_table.h"
#include "usb/command_fields.h"
#include "usb/frame_building.h"

namespace {

// Room for the bitmap header behind the format header: a shorter format can't be read.
constexpr ULONG kVideoInfoFormatBytes =
    sizeof(KSDATAFORMAT) + offsetof(KS_VIDEOINFOHEADER, bmiHeader) + sizeof(KS_BITMAPINFOHEADER);

VOID TakeFormatGeometry(DeviceContext* Device, const KS_VIDEOINFOHEADER& Info, StreamContext* Stream) {
    const ULONG Width = static_cast<ULONG>(Info.bmiHeader.biWidth);
    const ULONG Height = static_cast<ULONG>(Info.bmiHeader.biHeight);
    StoreCommandUlong(Device, COMMAND_FIELD(FrameWidth), Width);
    StoreCommandUlong(Device, COMMAND_FIELD(FrameHeight), Height);
    WriteOnce(Device->ImageSize, Info.bmiHeader.biSizeImage);
    WriteOnce(Device->BitCount, static_cast<ULONG>(Info.bmiHeader.biBitCount));
    SetRawFrameGeometry(Device, Width, Height);
    if (Info.AvgTimePerFrame != 0) WriteOnce(Stream->AvgTimePerFrame, Info.AvgTimePerFrame);
}

VOID RebuildToneForStoredGamma(DeviceContext* Device) {
    BuildToneTable(&Device->Pipeline.GammaValue, GammaForIndex(Device->Pipeline.GammaTable, ReadOnce(Device->Pipeline.Gamma)),
                   Device->Pipeline.ToneTable, Device->Pipeline.LogTable);
}

// The steps of a format's settings; the stored values only when ReadStored.
bool LoadFormatSettings(DeviceContext* Device, PHW_STREAM_REQUEST_BLOCK Srb, StreamContext* Stream,
                        bool ReadStored) {
    const auto* Format = reinterpret_cast<const KS_DATAFORMAT_VIDEOINFOHEADER*>(Srb->CommandData.OpenFormat);
    if (Format->DataFormat.FormatSize < kVideoInfoFormatBytes ||
        !IsEqualGUID(Format->DataFormat.Specifier, KSDATAFORMAT_SPECIFIER_VIDEOINFO)) {
        Srb->Status = STATUS_INVALID_PARAMETER;
        return false;
    }
    TakeFormatGeometry(Device, Format->VideoInfoHeader, Stream);
    // Gain and tone tables are computed in floating point; if its state can't be saved the
    // previous settings stay in force, as when the registry can't be read.
    WithFloatingPointSaved([Device, ReadStored] {
        if (ReadStored) ReadStoredSettings(Device);
        PlaceLoadedWindow(Device);
        RebuildToneForStoredGamma(Device);
    });
    LoadCalibration(Device, LoadCommandUlong(Device, COMMAND_FIELD(FrameWidth)),
                    LoadCommandUlong(Device, COMMAND_FIELD(FrameHeight)));
    return true;
}

}  // namespace

bool LoadSettings(DeviceContext* Device, PHW_STREAM_REQUEST_BLOCK Srb, StreamContext* Stream) {
    return LoadFormatSettings(Device, Srb, Stream, true);
}

bool ChangeFormat(DeviceContext* Device, PHW_STREAM_REQUEST_BLOCK Srb, StreamContext* Stream) {
    return LoadFormatSettings(Device, Srb, Stream, false);
}

// Gains are read back from their tables in floating point.
void SaveSettings(DeviceContext* Device) {
    WithFloatingPointSaved([Device] { WriteStoredSettings(Device); });
}

VOID LoadStoredSettings(DeviceContext* Device) {
    WithFloatingPointSaved([Device] {
        ReadStoredSettings(Device);
        RebuildToneForStoredGamma(Device);
    });
}
