// The stage sequence of the frame work item, in its fixed order.
//
// Settings are read at the moment each stage tests them (a property change takes effect from
// the next stage that reads it); fields that property requests write concurrently are read and
// written once each, the CommandBlock's through the command channel's byte accessors.
#include "imaging/process_frame.h"

#include "controls/calibration.h"
#include "driver/device_context.h"
#include "imaging/colour_gains.h"
#include "imaging/contrast.h"
#include "imaging/defects.h"
#include "imaging/demosaic.h"
#include "imaging/exposure.h"
#include "imaging/flat_field.h"
#include "imaging/overlays.h"
#include "imaging/repair_edges.h"
#include "imaging/saturation.h"
#include "imaging/table_access.h"
#include "imaging/tone_table.h"
#include "imaging/white_balance.h"
#include "usb/command_fields.h"

const FRAME_STAGE_ACTIONS DriverFrameStageActions = {SendCommandBlock, CaptureDefectTable,
                                                     CaptureGainMap};

namespace {

constexpr ULONG kDefectCaptureExposal = 4000;
constexpr UCHAR kCountdownAtRest = 9;
constexpr UCHAR kCountdownRaiseExposure = 8;
constexpr UCHAR kCountdownCapture = 3;
constexpr LONG kAutoExposurePeriod = 4;
constexpr LONG kOnePushExposurePeriod = 2;
constexpr ULONG kPictureBitCount = 24;
constexpr ULONG kEdgeWidth = 3;

struct FRAME {
    DeviceContext* Device;
    const FRAME_STAGE_ACTIONS* Actions;
    PUCHAR Raw;
    ULONG Width;
    ULONG Height;
};

ULONG ReadExposal(const DeviceContext* Device) {
    return LoadCommandUlong(Device, COMMAND_FIELD(Exposal));
}

VOID WriteExposal(DeviceContext* Device, ULONG Exposal) {
    StoreCommandUlong(Device, COMMAND_FIELD(Exposal), Exposal);
}

VOID SendCommand(const FRAME& Frame) { Frame.Actions->SendCommandBlock(Frame.Device); }

// The stages step through rows in pairs and columns in groups of 8 and read at most one
// raw-frame buffer.
bool StagesCanWalk(ULONG Width, ULONG Height) {
    return Width >= 8 && Width % 8 == 0 && Height >= 4 && Height % 2 == 0 &&
           static_cast<ULONGLONG>(Width) * Height <= kRawFrameBytes;
}

// 9 at rest; 8 raises the exposure for the capture, 3 scans the frame, 1 (or 0) restores.
VOID StepDefectCapture(const FRAME& Frame) {
    DeviceContext* Device = Frame.Device;
    if (ReadOnce(Device->DefectCapture) == 0) return;
    const UCHAR Countdown = static_cast<UCHAR>(Device->CaptureCountdown - 1);
    Device->CaptureCountdown = Countdown;
    if (Countdown == kCountdownRaiseExposure) {
        Device->SavedExposal = ReadExposal(Device);
        WriteExposal(Device, kDefectCaptureExposal);
        SendCommand(Frame);
    } else if (Countdown == kCountdownCapture) {
        WriteOnce(Device->OnePushWhiteBalance, 0u);
        Frame.Actions->CaptureDefectTable(Frame.Raw, Frame.Height, Frame.Width, Device,
                                          &Device->DefectCount);
    } else if (Countdown == 1 || Countdown == 0) {
        WriteOnce(Device->DefectCapture, 0);
        WriteExposal(Device, Device->SavedExposal);
        Device->CaptureCountdown = kCountdownAtRest;
        SendCommand(Frame);
    }
}

VOID StepDefectCorrection(const FRAME& Frame) {
    DeviceContext* Device = Frame.Device;
    const ULONG Count = ReadOnce(Device->DefectCount);
    if (Count == 0) return;
    CorrectDefects(Frame.Raw, Device->DefectTable, Count, Frame.Width, Frame.Height,
                   ReadOnce(Device->H_Off), ReadOnce(Device->V_Off));
}

// The divider is shared by every device and by both exposure controls: the control runs when
// it reaches 0, and the count left by one control carries into the other.
bool ExposureStepDue(LONG Period) {
    if (InterlockedDecrement(&ExposureFrameDivider) != 0) return false;
    InterlockedExchange(&ExposureFrameDivider, Period);
    return true;
}

VOID ApplyProposedExposure(const FRAME& Frame, LONG Proposal) {
    DeviceContext* Device = Frame.Device;
    const ULONG Exposal = ReadExposal(Device);
    ULONG NewExposal;
    if (Proposal == ExposureUnchanged) return;
    if (Proposal == ExposureDouble) {
        NewExposal = Exposal * 2;
    } else {
        if (static_cast<ULONG>(Proposal) == Exposal) return;
        NewExposal = static_cast<ULONG>(Proposal);
    }
    if (NewExposal > AutoExposureCap) NewExposal = AutoExposureCap;
    WriteExposal(Device, NewExposal);
    SendCommand(Frame);
}

VOID StepExposure(const FRAME& Frame) {
    DeviceContext* Device = Frame.Device;
    const UCHAR LightModel = ReadOnce(Device->LightModel);
    if (ReadOnce(Device->AEing)) {
        if (!ExposureStepDue(kAutoExposurePeriod)) return;
        ApplyProposedExposure(Frame, ProposeExposure(Frame.Width, Frame.Height, Frame.Raw,
                                                     AutoExposureCap, ReadExposal(Device),
                                                     LightModel));
    } else if (ReadOnce(Device->OnePushExposure) && !ReadOnce(Device->OnePushWhiteBalance)) {
        if (!ExposureStepDue(kOnePushExposurePeriod)) return;
        const OnePushExposureResult Step = OnePushExposureStep(
            Frame.Width, Frame.Height, Frame.Raw, LightModel, ReadExposal(Device));
        WriteExposal(Device, Step.Exposal);
        if (Step.Finished) WriteOnce(Device->OnePushExposure, 0u);
        SendCommand(Frame);
    }
}

VOID StepWhiteBalance(const FRAME& Frame) {
    DeviceContext* Device = Frame.Device;
    if (!ReadOnce(Device->OnePushWhiteBalance)) return;
    ComputeWhiteBalance(Frame.Width, Frame.Height, Frame.Raw, Device->RedGain, Device->GreenGain,
                        Device->BlueGain);
    WriteOnce(Device->OnePushWhiteBalance, 0u);
}

VOID StepColourAndTone(const FRAME& Frame) {
    DeviceContext* Device = Frame.Device;
    ApplyColourGains(Frame.Width, Frame.Height, Frame.Raw, Device->RedGain, Device->GreenGain,
                     Device->BlueGain);
    ApplyToneTable(ReadGammaValue(&Device->GammaValue), Frame.Width, Frame.Height, Frame.Raw,
                   Device->ToneTable);
}

VOID StepGainMapCapture(const FRAME& Frame) {
    if (!ReadOnce(Frame.Device->GainMapCapture)) return;
    Frame.Actions->CaptureGainMap(Frame.Width, Frame.Height, Frame.Raw, Frame.Device);
}

VOID StepFlatField(const FRAME& Frame) {
    DeviceContext* Device = Frame.Device;
    if (!ReadOnce(Device->LightAVG) || ReadOnce(Device->OnePushWhiteBalance)) return;
    ApplyFlatField(Frame.Width, Frame.Height, Frame.Raw, Device->GainMap, kGainMapEntries);
}

VOID StepContrast(const FRAME& Frame) {
    DeviceContext* Device = Frame.Device;
    AdjustContrast(Frame.Width, Frame.Height, Frame.Raw, Frame.Raw, ReadOnce(Device->Contrast),
                   ReadOnce(Device->ColorAdjustType));
}

VOID DrawPicture(const FRAME& Frame, PUCHAR Output) {
    DeviceContext* Device = Frame.Device;
    const ULONG W = Frame.Width;
    const ULONG H = Frame.Height;
    const UCHAR VideoModel = ReadOnce(Device->VideoModel);
    Demosaic(W, H, Output, Frame.Raw, ReadOnce(Device->BWPreview), VideoModel);
    AdjustSaturation(Output, W, H, ReadOnce(Device->Saturntion));
    RepairEdges(W, H, Output, VideoModel, kEdgeWidth);
    if (ReadOnce(Device->OnePushExposure) || ReadOnce(Device->OnePushWhiteBalance)) {
        DrawBusyMarker(W, H, Output);
    }
    if (ReadOnce(Device->CrossLine)) {
        DrawCrosshair(W, H, Output, ReadOnce(Device->CrossX), ReadOnce(Device->CrossY),
                      ReadOnce(Device->CrossMid));
    }
}

SIZE_T Smaller(SIZE_T A, SIZE_T B) { return A < B ? A : B; }

// 24 bits: the picture when the frame could be processed and fits the buffer. Any other bit
// count: the raw frame unchanged, never more of it than it holds.
VOID StepOutput(const FRAME& Frame, bool Walkable, PUCHAR Output, ULONG OutputLength) {
    DeviceContext* Device = Frame.Device;
    const SIZE_T Extent = Smaller(ReadOnce(Device->ImageSize), OutputLength);
    const SIZE_T Samples = static_cast<SIZE_T>(Frame.Width) * Frame.Height;
    SIZE_T Filled = 0;
    if (ReadOnce(Device->BitCount) == kPictureBitCount) {
        if (Walkable && 3 * Samples <= OutputLength) {
            DrawPicture(Frame, Output);
            Filled = 3 * Samples;
        }
    } else {
        Filled = Smaller(Extent, Smaller(Samples, kRawFrameBytes));
        RtlCopyMemory(Output, Frame.Raw, Filled);
    }
    if (Filled < Extent) RtlZeroMemory(Output + Filled, Extent - Filled);
}

VOID StepPendingSettings(const FRAME& Frame) {
    if (ReadOnce(Frame.Device->SettingsChanged) != 1) return;
    SendCommand(Frame);
    WriteOnce(Frame.Device->SettingsChanged, UCHAR{0});
}

}  // namespace

VOID RunFrameStagesWithActions(DeviceContext* Device, PUCHAR Raw, PUCHAR Output,
                               ULONG OutputLength, const FRAME_STAGE_ACTIONS* Actions) {
    const FRAME Frame = {Device, Actions, Raw,
                         LoadCommandUlong(Device, COMMAND_FIELD(FrameWidth)),
                         LoadCommandUlong(Device, COMMAND_FIELD(FrameHeight))};
    const bool Walkable = StagesCanWalk(Frame.Width, Frame.Height);
    // The stages use the vector and floating-point registers, which a kernel thread must save.
    KFLOATING_SAVE FloatState;
    const bool FloatSaved = NT_SUCCESS(KeSaveFloatingPointState(&FloatState));
    if (Walkable && FloatSaved) {
        StepDefectCapture(Frame);
        StepDefectCorrection(Frame);
        StepExposure(Frame);
        StepWhiteBalance(Frame);
        StepColourAndTone(Frame);
        StepGainMapCapture(Frame);
        StepFlatField(Frame);
        StepContrast(Frame);
    }
    StepOutput(Frame, Walkable && FloatSaved, Output, OutputLength);
    if (FloatSaved) KeRestoreFloatingPointState(&FloatState);
    StepPendingSettings(Frame);
}

VOID RunFrameStages(DeviceContext* Device, PUCHAR Raw, PUCHAR Output, ULONG OutputLength) {
    RunFrameStagesWithActions(Device, Raw, Output, OutputLength, &DriverFrameStageActions);
}
