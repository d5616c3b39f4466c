// The driver's own records, which the tests read through the device extension: listed for the
// same layout proof as the platform's records, so that a test reading the DeviceContext of the
// image reads it at the image's offsets. The image lays them out by the platform's rules, the
// 32-bit host build by its own (doubles, for one, align to 4 there and to 8 in the image).
//
//   VEXACAM_RECORD(Type)          size and alignment
//   VEXACAM_FIELD(Type, Member)   offset of a member
#pragma once

#define VEXACAM_FOR_EACH_DRIVER_RECORD(VEXACAM_RECORD, VEXACAM_FIELD) \
    VEXACAM_RECORD(DeviceContext)                       \
    VEXACAM_FIELD(DeviceContext, DeviceLock)            \
    VEXACAM_FIELD(DeviceContext, LowerDevice)           \
    VEXACAM_FIELD(DeviceContext, Stream)                \
    VEXACAM_FIELD(DeviceContext, PipeHandles)           \
    VEXACAM_FIELD(DeviceContext, TransferSlots)         \
    VEXACAM_FIELD(DeviceContext, Command)               \
    VEXACAM_FIELD(DeviceContext, Status)                \
    VEXACAM_FIELD(DeviceContext, ImageSize)             \
    VEXACAM_FIELD(DeviceContext, ResetRequest)          \
    VEXACAM_FIELD(DeviceContext, RawFrames)             \
    VEXACAM_FIELD(DeviceContext, CurrentFrame)          \
    VEXACAM_FIELD(DeviceContext, FillingFrame)          \
    VEXACAM_FIELD(DeviceContext, SwitchRawFrame)        \
    VEXACAM_FIELD(DeviceContext, TransfersPerFrame)     \
    VEXACAM_FIELD(DeviceContext, TransfersLeft)         \
    VEXACAM_FIELD(DeviceContext, LastTransferBytes)     \
    VEXACAM_FIELD(DeviceContext, WorkItemsInFlight)     \
    VEXACAM_FIELD(DeviceContext, StopEvent)             \
    VEXACAM_FIELD(DeviceContext, BitCount)              \
    VEXACAM_FIELD(DeviceContext, ReaderThread)          \
    VEXACAM_FIELD(DeviceContext, FreeSlotSemaphore)     \
    VEXACAM_FIELD(DeviceContext, RingReadIndex)         \
    VEXACAM_FIELD(DeviceContext, RingWriteIndex)        \
    VEXACAM_FIELD(DeviceContext, RawWriteIndex)         \
    VEXACAM_FIELD(DeviceContext, RawReleaseIndex)       \
    VEXACAM_FIELD(DeviceContext, FrameTimer)            \
    VEXACAM_FIELD(DeviceContext, FrameDpc)              \
    VEXACAM_FIELD(DeviceContext, Client)                \
    VEXACAM_FIELD(DeviceContext, Image)                 \
    VEXACAM_FIELD(DeviceContext, OffsetMid)             \
    VEXACAM_FIELD(DeviceContext, ParamA)                \
    VEXACAM_FIELD(DeviceContext, ParamB)                \
    VEXACAM_FIELD(DeviceContext, ClearView)             \
    VEXACAM_FIELD(DeviceContext, ClearViewParam)        \
    VEXACAM_FIELD(DeviceContext, ParamC)                \
    VEXACAM_FIELD(DeviceContext, Pipeline)              \
    VEXACAM_FIELD(DeviceContext, SettingsChanged)       \
    VEXACAM_FIELD(DeviceContext, Sharp)                 \
    VEXACAM_FIELD(DeviceContext, CommandLock)           \
    VEXACAM_FIELD(DeviceContext, StreamControlLock)     \
    VEXACAM_RECORD(ImageSettings)                       \
    VEXACAM_FIELD(ImageSettings, CrossLine)             \
    VEXACAM_FIELD(ImageSettings, CrossX)                \
    VEXACAM_FIELD(ImageSettings, CrossY)                \
    VEXACAM_FIELD(ImageSettings, BWPreview)             \
    VEXACAM_FIELD(ImageSettings, OnePushWhiteBalance)   \
    VEXACAM_FIELD(ImageSettings, OnePushExposure)       \
    VEXACAM_FIELD(ImageSettings, LightAVG)              \
    VEXACAM_FIELD(ImageSettings, GainMapCapture)        \
    VEXACAM_FIELD(ImageSettings, VideoModel)            \
    VEXACAM_FIELD(ImageSettings, LightModel)            \
    VEXACAM_FIELD(ImageSettings, H_Off)                 \
    VEXACAM_FIELD(ImageSettings, V_Off)                 \
    VEXACAM_FIELD(ImageSettings, Contrast)              \
    VEXACAM_FIELD(ImageSettings, CrossMid)              \
    VEXACAM_FIELD(ImageSettings, AEing)                 \
    VEXACAM_FIELD(ImageSettings, ColorAdjustType)       \
    VEXACAM_FIELD(ImageSettings, Saturntion)            \
    VEXACAM_FIELD(ImageSettings, DefectCapture)         \
    VEXACAM_RECORD(ImagePipeline)                       \
    VEXACAM_FIELD(ImagePipeline, DefectTable)           \
    VEXACAM_FIELD(ImagePipeline, DefectCount)           \
    VEXACAM_FIELD(ImagePipeline, CaptureCountdown)      \
    VEXACAM_FIELD(ImagePipeline, SavedExposal)          \
    VEXACAM_FIELD(ImagePipeline, RedGain)               \
    VEXACAM_FIELD(ImagePipeline, GreenGain)             \
    VEXACAM_FIELD(ImagePipeline, BlueGain)              \
    VEXACAM_FIELD(ImagePipeline, GainMap)               \
    VEXACAM_FIELD(ImagePipeline, LogTable)              \
    VEXACAM_FIELD(ImagePipeline, ToneTable)             \
    VEXACAM_FIELD(ImagePipeline, GammaValue)            \
    VEXACAM_FIELD(ImagePipeline, Gamma)                 \
    VEXACAM_FIELD(ImagePipeline, GammaTable)            \
    VEXACAM_RECORD(StreamContext)                       \
    VEXACAM_FIELD(StreamContext, ReadQueue)             \
    VEXACAM_FIELD(StreamContext, RingSlots)             \
    VEXACAM_FIELD(StreamContext, StreamObject)          \
    VEXACAM_FIELD(StreamContext, FrameFlags)            \
    VEXACAM_FIELD(StreamContext, PictureNumber)         \
    VEXACAM_FIELD(StreamContext, DropCount)             \
    VEXACAM_FIELD(StreamContext, DiscontinuityPending)  \
    VEXACAM_FIELD(StreamContext, State)                 \
    VEXACAM_FIELD(StreamContext, NextDueTime)           \
    VEXACAM_FIELD(StreamContext, AvgTimePerFrame)       \
    VEXACAM_FIELD(StreamContext, StartTime)             \
    VEXACAM_FIELD(StreamContext, ReadIndex)             \
    VEXACAM_FIELD(StreamContext, WriteIndex)            \
    VEXACAM_FIELD(StreamContext, FrameWorkIdle)         \
    VEXACAM_RECORD(TransferSlot)                        \
    VEXACAM_FIELD(TransferSlot, Busy)                   \
    VEXACAM_FIELD(TransferSlot, Buffer)                 \
    VEXACAM_RECORD(CommandBlock)                        \
    VEXACAM_RECORD(StatusBlock)                         \
    VEXACAM_RECORD(DefectEntry)
