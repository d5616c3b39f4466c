// The stage sequence of the frame work item, in its fixed order.
//
// Settings are read at the moment each stage tests them (a property change takes effect from
// the next stage that reads it); fields that property requests write concurrently are read and
// written once each.
#include "imaging/process_frame.h"

#include "imaging/calibration_capture.h"
#include "imaging/colour_and_tone.h"
#include "imaging/contrast.h"
#include "imaging/defects.h"
#include "imaging/demosaic.h"
#include "imaging/exposure.h"
#include "imaging/flat_field.h"
#include "imaging/overlays.h"
#include "imaging/repair_edges.h"
#include "imaging/saturation.h"
#include "imaging/stage_bodies.h"
#include "imaging/table_access.h"
#include "imaging/vector_state.h"
#include "imaging/white_balance.h"
#include "platform/kernel.h"

LONG ExposureFrameDivider = 1;

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
    ImageSettings* Settings;
    ImagePipeline* Pipeline;
    const FrameDevice* Device;
    PUCHAR Raw;
    ULONG Width;
    ULONG Height;
};

ULONG ReadExposal(const FRAME& Frame) { return Frame.Device->Calls->ReadExposal(Frame.Device->Context); }

VOID SendExposal(const FRAME& Frame, ULONG Exposal) {
    Frame.Device->Calls->SendExposal(Frame.Device->Context, Exposal);
}

// The stages step through rows in pairs and columns in groups of 8 and read at most one
// raw-frame buffer.
bool StagesCanWalk(ULONG Width, ULONG Height) {
    return Width >= 8 && Width % 8 == 0 && Height >= 4 && Height % 2 == 0 &&
           static_cast<ULONGLONG>(Width) * Height <= kGainMapEntries;
}

// 9 at rest; 8 raises the exposure for the capture, 3 scans the frame, 1 (or 0) restores.
VOID StepDefectCapture(const FRAME& Frame) {
    ImageSettings* Settings = Frame.Settings;
    ImagePipeline* Pipeline = Frame.Pipeline;
    if (ReadOnce(Settings->DefectCapture) == 0) return;
    const UCHAR Countdown = static_cast<UCHAR>(Pipeline->CaptureCountdown - 1);
    Pipeline->CaptureCountdown = Countdown;
    if (Countdown == kCountdownRaiseExposure) {
        Pipeline->SavedExposal = ReadExposal(Frame);
        SendExposal(Frame, kDefectCaptureExposal);
    } else if (Countdown == kCountdownCapture) {
        WriteOnce(Settings->OnePushWhiteBalance, 0u);
        CaptureDefectTable(Frame.Raw, Frame.Height, Frame.Width, Pipeline);
        Frame.Device->Calls->DefectTableCaptured(Frame.Device->Context, Frame.Width);
    } else if (Countdown == 1 || Countdown == 0) {
        WriteOnce(Settings->DefectCapture, 0);
        Pipeline->CaptureCountdown = kCountdownAtRest;
        SendExposal(Frame, Pipeline->SavedExposal);
    }
}

VOID StepDefectCorrection(const FRAME& Frame) {
    const ULONG Count = ReadOnce(Frame.Pipeline->DefectCount);
    if (Count == 0) return;
    CorrectDefects(Frame.Raw, Frame.Pipeline->DefectTable, Count, Frame.Width, Frame.Height,
                   ReadOnce(Frame.Settings->H_Off), ReadOnce(Frame.Settings->V_Off));
}

// The divider is shared by every device and by both exposure controls: the control runs when
// it reaches 0, and the count left by one control carries into the other.
bool ExposureStepDue(LONG Period) {
    if (InterlockedDecrement(&ExposureFrameDivider) != 0) return false;
    InterlockedExchange(&ExposureFrameDivider, Period);
    return true;
}

VOID ApplyProposedExposure(const FRAME& Frame, LONG Proposal, ULONG Exposal) {
    ULONG NewExposal;
    if (Proposal == ExposureUnchanged) return;
    if (Proposal == ExposureDouble) {
        NewExposal = Exposal * 2;
    } else {
        if (static_cast<ULONG>(Proposal) == Exposal) return;
        NewExposal = static_cast<ULONG>(Proposal);
    }
    if (NewExposal > AutoExposureCap) NewExposal = AutoExposureCap;
    SendExposal(Frame, NewExposal);
}

VOID StepExposure(const FRAME& Frame) {
    ImageSettings* Settings = Frame.Settings;
    const UCHAR LightModel = ReadOnce(Settings->LightModel);
    if (ReadOnce(Settings->AEing)) {
        if (!ExposureStepDue(kAutoExposurePeriod)) return;
        const ULONG Exposal = ReadExposal(Frame);
        ApplyProposedExposure(Frame, ProposeExposure(Frame.Width, Frame.Height, Frame.Raw,
                                                     AutoExposureCap, Exposal, LightModel),
                              Exposal);
    } else if (ReadOnce(Settings->OnePushExposure) && !ReadOnce(Settings->OnePushWhiteBalance)) {
        if (!ExposureStepDue(kOnePushExposurePeriod)) return;
        const OnePushExposureResult Step = OnePushExposureStep(
            Frame.Width, Frame.Height, Frame.Raw, LightModel, ReadExposal(Frame));
        if (Step.Finished) WriteOnce(Settings->OnePushExposure, 0u);
        SendExposal(Frame, Step.Exposal);
    }
}

VOID StepWhiteBalance(const FRAME& Frame) {
    if (!ReadOnce(Frame.Settings->OnePushWhiteBalance)) return;
    ImagePipeline* Pipeline = Frame.Pipeline;
    ComputeWhiteBalance(Frame.Width, Frame.Height, Frame.Raw, Pipeline->RedGain,
                        Pipeline->GreenGain, Pipeline->BlueGain);
    WriteOnce(Frame.Settings->OnePushWhiteBalance, 0u);
}

VOID StepColourAndTone(const FRAME& Frame) {
    ImagePipeline* Pipeline = Frame.Pipeline;
    ApplyColourGainsAndTone(Frame.Width, Frame.Height, Frame.Raw, Pipeline->RedGain,
                            Pipeline->GreenGain, Pipeline->BlueGain,
                            ReadGammaValue(&Pipeline->GammaValue), Pipeline->ToneTable);
}

VOID StepGainMapCapture(const FRAME& Frame) {
    if (!ReadOnce(Frame.Settings->GainMapCapture)) return;
    WriteOnce(Frame.Settings->GainMapCapture, 0u);
    CaptureGainMap(Frame.Width, Frame.Height, Frame.Raw, Frame.Pipeline);
    Frame.Device->Calls->GainMapCaptured(Frame.Device->Context, Frame.Width, Frame.Height);
}

VOID StepFlatField(const FRAME& Frame) {
    const ImageSettings* Settings = Frame.Settings;
    if (!ReadOnce(Settings->LightAVG) || ReadOnce(Settings->OnePushWhiteBalance)) return;
    ApplyFlatField(Frame.Width, Frame.Height, Frame.Raw, Frame.Pipeline->GainMap, kGainMapEntries);
}

VOID StepContrast(const FRAME& Frame) {
    const ImageSettings* Settings = Frame.Settings;
    AdjustContrast(Frame.Width, Frame.Height, Frame.Raw, Frame.Raw, ReadOnce(Settings->Contrast),
                   ReadOnce(Settings->ColorAdjustType));
}

VOID DrawPicture(const FRAME& Frame, PUCHAR Output) {
    const ImageSettings* Settings = Frame.Settings;
    const ULONG W = Frame.Width;
    const ULONG H = Frame.Height;
    const UCHAR VideoModel = ReadOnce(Settings->VideoModel);
    Demosaic(W, H, Output, Frame.Raw, ReadOnce(Settings->BWPreview), VideoModel);
    AdjustSaturation(Output, W, H, ReadOnce(Settings->Saturntion));
    RepairEdges(W, H, Output, VideoModel, kEdgeWidth);
    if (ReadOnce(Settings->OnePushExposure) || ReadOnce(Settings->OnePushWhiteBalance)) {
        DrawBusyMarker(W, H, Output);
    }
    if (ReadOnce(Settings->CrossLine)) {
        DrawCrosshair(W, H, Output, ReadOnce(Settings->CrossX), ReadOnce(Settings->CrossY),
                      ReadOnce(Settings->CrossMid));
    }
}

SIZE_T Smaller(SIZE_T A, SIZE_T B) { return A < B ? A : B; }

// 24 bits: the picture when the frame could be processed and fits the buffer. Any other bit
// count: the raw frame unchanged, never more of it than it holds.
VOID StepOutput(const FRAME& Frame, const FrameShape& Shape, bool Walkable, PUCHAR Output,
                ULONG OutputLength) {
    const SIZE_T Extent = Smaller(Shape.ImageSize, OutputLength);
    const SIZE_T Samples = static_cast<SIZE_T>(Frame.Width) * Frame.Height;
    SIZE_T Filled = 0;
    if (Shape.BitCount == kPictureBitCount) {
        if (Walkable && 3 * Samples <= OutputLength) {
            DrawPicture(Frame, Output);
            Filled = 3 * Samples;
        }
    } else {
        Filled = Smaller(Extent, Smaller(Samples, kGainMapEntries));
        RtlCopyMemory(Output, Frame.Raw, Filled);
    }
    if (Filled < Extent) RtlZeroMemory(Output + Filled, Extent - Filled);
}

}  // namespace

VOID RunFrameStages(const FrameShape& Shape, ImageSettings* Settings, ImagePipeline* Pipeline,
                    const FrameDevice& Device, PUCHAR Raw, PUCHAR Output, ULONG OutputLength) {
    const FRAME Frame = {Settings, Pipeline, &Device, Raw, Shape.Width, Shape.Height};
    const bool Walkable = StagesCanWalk(Frame.Width, Frame.Height);
    // The stages use the vector and floating-point registers, which a kernel thread must save:
    // as wide as the bodies in use reach.
    VectorStateSave VectorState;
    const bool FloatSaved =
        NT_SUCCESS(SaveVectorState(ActiveStageBodies().Level, &VectorState));
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
    StepOutput(Frame, Shape, Walkable && FloatSaved, Output, OutputLength);
    if (FloatSaved) RestoreVectorState(&VectorState);
}
