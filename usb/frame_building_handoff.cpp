// Handing a complete raw frame to the frame work item, and the work-item gate.
#include "driver/stream_data_queue.h"
#include "driver/stream_data_ring.h"
#include "imaging/frame_work_item.h"
#include "usb/frame_building.h"
#include "usb/pool_tags.h"
#include "usb/streaming.h"

constexpr ULONG kTagFrameWork = MakePoolTag("VxFw");

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

static bool QueueFrameWork(DeviceContext* Device, PHW_STREAM_REQUEST_BLOCK Request) {
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
    work->RawFrame = ReadOnce(Device->FillingFrame);
    IoQueueWorkItem(item, ProcessFrame, DelayedWorkQueue, work);
    return true;
}

void HandOffFrame(DeviceContext* Device, StreamContext* Stream) {
    if (!FrameRingHasRoom(Device)) return;
    if (!ReadRequestWaiting(Device, Stream)) return;
    // Not 1: a work item is queued or running and drains this increment when it finishes.
    if (InterlockedIncrement(&Device->WorkItemsInFlight) != 1) return;
    if (ReadOnce(Device->RawReleaseIndex) == ReadOnce(Device->RawWriteIndex)) {
        ReleaseFrameWorkGate(Device, Stream);
        return;
    }
    PHW_STREAM_REQUEST_BLOCK request = TakeRequestForFrame(Device, Stream);
    if (request == nullptr) {
        ReleaseFrameWorkGate(Device, Stream);
        return;
    }
    if (!QueueFrameWork(Device, request)) {
        CancelReadRequest(request);
        ReleaseFrameWorkGate(Device, Stream);
        return;
    }
    // The next good transfer starts a new raw-frame buffer; this one belongs to the work item.
    InterlockedIncrement(&Device->SwitchRawFrame);
}
