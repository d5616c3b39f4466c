// FrameTimerDpc: frame pacing and time stamps of delivered frames.
//
// The counters and times of the StreamContext (PictureNumber, DropCount, DiscontinuityPending,
// NextDueTime, StartTime, AvgTimePerFrame, State) are written by the stream-state handler and
// by this DPC without a lock and read by the dropped-frames property, hence ReadOnce/WriteOnce.
#include "driver/frame_timer.h"

#include "driver/stream_data_ring.h"

void ArmFrameTimer(DeviceContext* Device, LONGLONG Interval) {
    LARGE_INTEGER due;
    due.QuadPart = -(Interval / 2);
    KeSetTimer(&Device->FrameTimer, due, &Device->FrameDpc);
}

void StopFrameTimer(DeviceContext* Device) {
    // A FrameTimerDpc that started before the stop may still re-arm once: cancel, wait for it,
    // then cancel what it armed and wait for a DPC that expiry may have queued.
    for (int round = 0; round < 2; ++round) {
        KeCancelTimer(&Device->FrameTimer);
        KeFlushQueuedDpcs();
    }
}

// Fills the stream header and the KS_FRAME_INFO behind it and hands the request back.
static void CompleteDueFrame(DeviceContext* Device, StreamContext* Stream,
                             PHW_STREAM_REQUEST_BLOCK Request, LONGLONG Now, LONGLONG Interval) {
    PKSSTREAM_HEADER header = Request->CommandData.DataBufferArray;
    PKS_FRAME_INFO frameInfo = reinterpret_cast<PKS_FRAME_INFO>(header + 1);
    ULONG options = KSSTREAM_HEADER_OPTIONSF_TIMEVALID | KSSTREAM_HEADER_OPTIONSF_DURATIONVALID;
    if (ReadOnce(Stream->DiscontinuityPending) != 0) {
        options |= KSSTREAM_HEADER_OPTIONSF_DATADISCONTINUITY;
    }
    WriteOnce(Stream->DiscontinuityPending, 0u);
    header->OptionsFlags = options;
    // DataUsed was set by the work item for the picture it wrote: a format change since then
    // must not make the header claim more than the buffer holds.
    header->Duration = Interval;
    header->PresentationTime.Time = Now - ReadOnce(Stream->StartTime);
    header->PresentationTime.Numerator = 1;
    header->PresentationTime.Denominator = 1;
    frameInfo->dwFrameFlags = ReadOnce(Stream->FrameFlags);
    frameInfo->PictureNumber = ReadOnce(Stream->PictureNumber);
    frameInfo->DropCount = ReadOnce(Stream->DropCount);
    StreamClassStreamNotification(StreamRequestComplete, Request->StreamObject, Request);
}

// One frame period is due: deliver the oldest finished frame or count the period as dropped.
static void DeliverOrDropFrame(DeviceContext* Device, StreamContext* Stream, LONGLONG Now,
                               LONGLONG Interval) {
    WriteOnce(Stream->PictureNumber, ReadOnce(Stream->PictureNumber) + 1);
    KeAcquireSpinLockAtDpcLevel(&Device->DeviceLock);
    PHW_STREAM_REQUEST_BLOCK request = TakeFinishedRequest(Device, Stream);
    KeReleaseSpinLockFromDpcLevel(&Device->DeviceLock);
    if (request == nullptr) {
        WriteOnce(Stream->DiscontinuityPending, 1u);
        WriteOnce(Stream->DropCount, ReadOnce(Stream->DropCount) + 1);
        return;
    }
    CompleteDueFrame(Device, Stream, request, Now, Interval);
}

void FrameTimerDpc(PKDPC Dpc, PVOID DeferredContext, PVOID SystemArgument1,
                   PVOID SystemArgument2) {
    DeviceContext* device = static_cast<DeviceContext*>(DeferredContext);
    StreamContext* stream = ReadOnce(device->Stream);
    if (stream == nullptr || ReadOnce(stream->State) == KSSTATE_STOP) return;

    // Interrupt time, not system time: it never steps, so a clock set back by hand does not
    // stop delivery and one set forward does not count a burst of dropped periods.
    const LONGLONG now = static_cast<LONGLONG>(KeQueryInterruptTime());
    LONGLONG interval = ReadOnce(stream->AvgTimePerFrame);
    if (ReadOnce(stream->NextDueTime) == 0) WriteOnce(stream->NextDueTime, now + interval);

    // Deadlines are start plus n periods, so delivery never drifts; after a long pause each
    // expiry catches up one period.
    LONGLONG due = ReadOnce(stream->NextDueTime);
    if (ReadOnce(stream->State) == KSSTATE_RUN && now >= due) {
        DeliverOrDropFrame(device, stream, now, interval);
        WriteOnce(stream->NextDueTime, due + interval);
    }
    ArmFrameTimer(device, interval);
}
