// The read-request queue and the flush of queued and parked requests.
#include "driver/stream_data_queue.h"

void CancelReadRequest(PHW_STREAM_REQUEST_BLOCK Request) {
    Request->CommandData.DataBufferArray->DataUsed = 0;
    Request->Status = STATUS_CANCELLED;
    StreamClassStreamNotification(StreamRequestComplete, Request->StreamObject, Request);
}

// Queued requests, oldest at ReadIndex; with all sixteen slots taken the indices meet again.
static ULONG QueuedCount(const StreamContext* Stream) {
    const LONG read = Stream->ReadIndex;
    const LONG write = Stream->WriteIndex;
    if (read == write) return Stream->ReadQueue[read] != nullptr ? kReadQueueSlots : 0;
    return static_cast<ULONG>((write - read + kReadQueueSlots) % kReadQueueSlots);
}

static LONG SlotAfter(LONG Slot, ULONG Steps) {
    return static_cast<LONG>((Slot + Steps) % kReadQueueSlots);
}

bool QueueReadRequest(StreamContext* Stream, PHW_STREAM_REQUEST_BLOCK Request) {
    if (QueuedCount(Stream) == kReadQueueSlots) return false;
    Stream->ReadQueue[Stream->WriteIndex] = Request;
    Stream->WriteIndex = SlotAfter(Stream->WriteIndex, 1);
    return true;
}

bool RemoveReadRequest(StreamContext* Stream, PHW_STREAM_REQUEST_BLOCK Request) {
    const ULONG count = QueuedCount(Stream);
    for (ULONG position = 0; position < count; ++position) {
        if (Stream->ReadQueue[SlotAfter(Stream->ReadIndex, position)] != Request) continue;
        // Close the gap: every younger request moves one slot towards ReadIndex.
        for (ULONG later = position + 1; later < count; ++later) {
            Stream->ReadQueue[SlotAfter(Stream->ReadIndex, later - 1)] =
                Stream->ReadQueue[SlotAfter(Stream->ReadIndex, later)];
        }
        const LONG last = SlotAfter(Stream->ReadIndex, count - 1);
        Stream->ReadQueue[last] = nullptr;
        Stream->WriteIndex = last;
        return true;
    }
    return false;
}

bool ReadRequestPending(const StreamContext* Stream) { return QueuedCount(Stream) != 0; }

PHW_STREAM_REQUEST_BLOCK TakeOldestReadRequest(StreamContext* Stream) {
    if (QueuedCount(Stream) == 0) return nullptr;
    const LONG read = Stream->ReadIndex;
    PHW_STREAM_REQUEST_BLOCK request = Stream->ReadQueue[read];
    Stream->ReadQueue[read] = nullptr;
    Stream->ReadIndex = SlotAfter(read, 1);
    return request;
}

static void CancelAndClear(PHW_STREAM_REQUEST_BLOCK* Slots, ULONG Count) {
    for (ULONG i = 0; i < Count; ++i) {
        PHW_STREAM_REQUEST_BLOCK request = Slots[i];
        if (request == nullptr) continue;
        Slots[i] = nullptr;
        CancelReadRequest(request);
    }
}

// The FrameRing indices are also read without the lock (the transfer completion's room test),
// hence WriteOnce for them.
void FlushStreamRequests(DeviceContext* Device, StreamContext* Stream) {
    CancelAndClear(Stream->ReadQueue, kReadQueueSlots);
    CancelAndClear(Stream->RingSlots, kFrameRingSlots);
    Stream->ReadIndex = 0;
    Stream->WriteIndex = 0;
    WriteOnce(Device->RingReadIndex, 0);
    WriteOnce(Device->RingWriteIndex, 0);
}
