// Handing a complete raw frame to the frame work item, and the work-item gate.
#include "driver/frame_handoff.h"

#include "driver/frame_work_item.h"
#include "driver/stream_data_queue.h"
#include "driver/stream_data_ring.h"

constexpr ULONG kTagFrameWork = MakePoolTag("VxFw");

void ResetFrameHandOff(DeviceContext* Device) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Device->DeviceLock, &oldIrql);
    WriteOnce(Device->RingReadIndex, 0);
    WriteOnce(Device->RingWriteIndex, 0);
    KeReleaseSpinLock(&Device->DeviceLock, oldIrql);
    InterlockedExchange(&Device->WorkItemsInFlight, 0);
}

void ReleaseFrameWorkGate(DeviceContext* Device, StreamContext* Stream) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Device->DeviceLock, &oldIrql);
    while (InterlockedDecrement(&Device->WorkItemsInFlight) > 0) {
    }
    if (Stream != nullptr) KeSetEvent(&Stream->FrameWorkIdle, IO_NO_INCREMENT, FALSE);
    KeReleaseSpinLock(&Device->DeviceLock, oldIrql);
}

void WaitForFrameWorkIdle(StreamContext* Stream) {
    KeWaitForSingleObject(&Stream->FrameWorkIdle, Executive, KernelMode, FALSE, nullptr);
}

void CancelWaitingReads(DeviceContext* Device) {
    StreamContext* stream = ReadOnce(Device->Stream);
    if (stream == nullptr) return;
    // No work item may park a request behind the flush.
    WaitForFrameWorkIdle(stream);
    KIRQL oldIrql;
    KeAcquireSpinLock(&Device->DeviceLock, &oldIrql);
    FlushStreamRequests(Device, stream);
    KeReleaseSpinLock(&Device->DeviceLock, oldIrql);
}

static bool ReadRequestWaiting(DeviceContext* Device, StreamContext* Stream) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Device->DeviceLock, &oldIrql);
    bool waiting = ReadRequestPending(Stream);
    KeReleaseSpinLock(&Device->DeviceLock, oldIrql);
    return waiting;
}

// Pops the oldest read request; a work item is about to exist when it is not null.
static PHW_STREAM_REQUEST_BLOCK TakeRequestForFrame(DeviceContext* Device, StreamContext* Stream) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Device->DeviceLock, &oldIrql);
    PHW_STREAM_REQUEST_BLOCK request = TakeOldestReadRequest(Stream);
    if (request != nullptr) KeClearEvent(&Stream->FrameWorkIdle);
    KeReleaseSpinLock(&Device->DeviceLock, oldIrql);
    return request;
}

static bool QueueFrameWork(DeviceContext* Device, PHW_STREAM_REQUEST_BLOCK Request,
                           PUCHAR RawFrame) {
    FrameWorkContext* work = static_cast<FrameWorkContext*>(
        ExAllocatePoolWithTag(NonPagedPool, sizeof(FrameWorkContext), kTagFrameWork));
    if (work == nullptr) return false;
    PIO_WORKITEM item = IoAllocateWorkItem(Device->LowerDevice);
    if (item == nullptr) {
        ExFreePool(work);
        return false;
    }
    work->Device = Device;
    work->Request = Request;
    work->WorkItem = item;
    work->RawFrame = RawFrame;
    IoQueueWorkItem(item, ProcessFrame, DelayedWorkQueue, work);
    return true;
}

// The transfer completion, at up to DISPATCH_LEVEL.
static BOOLEAN HandOffFrame(DeviceContext* Device, PUCHAR RawFrame) {
    StreamContext* stream = ReadOnce(Device->Stream);
    if (stream == nullptr || !FrameRingHasRoom(Device)) return FALSE;
    if (!ReadRequestWaiting(Device, stream)) return FALSE;
    // Not 1: a work item is queued or running and drains this increment when it finishes.
    if (InterlockedIncrement(&Device->WorkItemsInFlight) != 1) return FALSE;
    PHW_STREAM_REQUEST_BLOCK request = TakeRequestForFrame(Device, stream);
    if (request == nullptr) {
        ReleaseFrameWorkGate(Device, stream);
        return FALSE;
    }
    if (!QueueFrameWork(Device, request, RawFrame)) {
        CancelReadRequest(request);
        ReleaseFrameWorkGate(Device, stream);
        return FALSE;
    }
    return TRUE;
}

const StreamingClient DriverStreamingClient = {HandOffFrame, CancelWaitingReads};
