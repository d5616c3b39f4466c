// All driver state: DeviceContext, the per-adapter record the framework allocates and passes
// as every request's device extension, and StreamContext, the record of the one capture stream
// while it is open. Field order and widths are fixed; the owning code is named beside each
// group. Unless marked otherwise, fields are read and written without a lock.
#pragma once

#include "imaging/image_pipeline.h"
#include "imaging/image_settings.h"
#include "platform/kernel.h"
#include "platform/ks.h"
#include "platform/strmini.h"
#include "platform/types.h"
#include "platform/usb.h"
#include "usb/command_block.h"
#include "usb/transfer_slot.h"

// Sizes of the driver's fixed tables and buffers.
constexpr ULONG kPipeCount = 3;             // CommandBlock OUT, video IN, StatusBlock IN
constexpr ULONG kTransferSlotCount = 10;    // streaming transfers kept in flight
constexpr ULONG kRawFrameCount = 8;         // raw-frame buffers used as a ring
constexpr ULONG kRawFrameBytes = 3149824;   // 2048 x 1536 + 4096: the largest raw frame
constexpr ULONG kReadQueueSlots = 16;       // pending read requests
constexpr ULONG kFrameRingSlots = 5;        // finished requests; full at 4 entries
static_assert(kGainMapEntries == kRawFrameBytes, "one 16-bit gain per raw pixel");

// Pipe indices into PipeHandles.
constexpr ULONG kCommandPipe = 0;
constexpr ULONG kVideoPipe = 1;
constexpr ULONG kStatusPipe = 2;

// Stream numbers: the capture stream is the only one.
constexpr ULONG kCaptureStreamNumber = 0;
constexpr ULONG kStreamCount = 1;

struct StreamContext;
struct StreamingClient;

struct DeviceContext {
    // Platform and USB (USB configuration, streaming engine).
    KSPIN_LOCK DeviceLock;  // guards the read queue and the flushes of the FrameRing slots
    PDEVICE_OBJECT LowerDevice;
    StreamContext* Stream;  // the open capture stream; null while closed
    USBD_PIPE_HANDLE PipeHandles[kPipeCount];  // [2] null with a two-endpoint interface
    TransferSlot TransferSlots[kTransferSlotCount];

    // Camera blocks (command protocol).
    CommandBlock Command;  // live copy of every camera parameter
    StatusBlock Status;    // last block read from the camera

    // Format geometry and streaming.
    ULONG ImageSize;      // biSizeImage of the chosen format
    LONG ResetRequest;    // interlocked: last transfer error kind 1..4, 0 none
    PUCHAR RawFrames[kRawFrameCount];
    PUCHAR CurrentFrame;  // raw frame the frame work item is processing
    PUCHAR FillingFrame;  // raw frame the transfer completion is filling
    LONG SwitchRawFrame;  // interlocked: 1 = take the next raw buffer at the next good transfer
    ULONG TransfersPerFrame;
    ULONG TransfersLeft;  // interlocked
    ULONG LastTransferBytes;
    LONG WorkItemsInFlight;  // interlocked gate: one frame work item at a time
    KEVENT StopEvent;        // auto-reset; wakes the reader thread to leave
    ULONG BitCount;
    PKTHREAD ReaderThread;
    KSEMAPHORE FreeSlotSemaphore;  // one unit per transfer that may be submitted

    // Frame delivery. The FrameRing is written only by the frame work item and emptied only
    // by the frame timer; flushes reset both indices under DeviceLock.
    LONG RingReadIndex;   // 0..4, advanced only by the frame timer
    LONG RingWriteIndex;  // 0..4, advanced only by the frame work item
    LONG RawWriteIndex;   // 0..7
    LONG RawReleaseIndex; // 0..7
    KTIMER FrameTimer;
    KDPC FrameDpc;
    const StreamingClient* Client;  // what the streaming engine hands frames to (usb/streaming.h)

    // Settings (property sets, settings store). A flag is 32 bits, 0 or non-zero. Those the
    // frame sequence reads, and its one-shot requests, are imaging's record.
    ImageSettings Image;
    ULONG OffsetMid;
    ULONG ParamA;
    ULONG ParamB;
    ULONG ClearView;
    ULONG ClearViewParam;
    ULONG ParamC;

    // Calibration and image pipeline: the sequence's tables and its state between frames.
    ImagePipeline Pipeline;
    UCHAR SettingsChanged;  // 1 = send the CommandBlock after the current frame
    ULONG Sharp;

    // Camera control channel: held across every CommandBlock send and query sequence.
    KEVENT CommandLock;  // synchronization event used as a mutex (usb/command_lock.h)

    // Held across every stream state change and format change (a synchronization event used
    // as a mutex): the framework does not serialise them, and a format change must never meet
    // a start or a stop half done.
    KEVENT StreamControlLock;
};

struct StreamContext {
    PHW_STREAM_REQUEST_BLOCK ReadQueue[kReadQueueSlots];  // guarded by DeviceLock
    PHW_STREAM_REQUEST_BLOCK RingSlots[kFrameRingSlots];  // the FrameRing
    PHW_STREAM_OBJECT StreamObject;
    ULONG FrameFlags;
    LONGLONG PictureNumber;
    LONGLONG DropCount;
    ULONG DiscontinuityPending;
    KSSTATE State;
    LONGLONG NextDueTime;  // interrupt time of the next due frame; 0 = not yet fixed
    LONGLONG AvgTimePerFrame;
    LONGLONG StartTime;    // interrupt time of the last start (pause from stop or acquire)
    LONG ReadIndex;   // guarded by DeviceLock
    LONG WriteIndex;  // guarded by DeviceLock

    // Signalled while no frame work item is queued or running (set and cleared under
    // DeviceLock); stop, close and uninitialize wait on it before they flush and free.
    KEVENT FrameWorkIdle;
};

// The streaming engine runs while the stream is open and not stopped (acquire, pause and run
// alike).
inline bool StreamRunning(const StreamContext* Stream) {
    return Stream != nullptr && ReadOnce(Stream->State) != KSSTATE_STOP;
}
