// The read-request queue and the flush of queued and parked requests.
#include "driver/stream_data_queue.h"

void CancelReadRequest(PHW_STREAM_REQUEST_BLOCK Request) {
    Request->CommandData.DataBufferArray->DataUsed = 0;
    Request->Status = STATUS_CANCELLED;
    StreamClassStreamNotification(StreamRequestComplete, Request->StreamObject, Request);
}

bool QueueReadRequest(StreamContext* Stream, PHW_STREAM_REQUEST_BLOCK Request) {
    LONG write = Stream->WriteIndex;
    if (Stream->ReadQueue[write] != nullptr) return false;
    Stream->ReadQueue[write] = Request;
    Stream->WriteIndex = static_cast<LONG>((write + 1) % kReadQueueSlots);
    return true;
}

bool ReadRequestPending(const StreamContext* Stream) {
    // With all sixteen slots taken the indices meet again; the slot itself then tells.
    return Stream->ReadIndex != Stream->WriteIndex ||
           Stream->ReadQueue[Stream->ReadIndex] != nullptr;
}

PHW_STREAM_REQUEST_BLOCK TakeOldestReadRequest(StreamContext* Stream) {
    LONG read = Stream->ReadIndex;
    PHW_STREAM_REQUEST_BLOCK request = Stream->ReadQueue[read];
    if (request == nullptr && read == Stream->WriteIndex) return nullptr;
    Stream->ReadQueue[read] = nullptr;
    Stream->ReadIndex = static_cast<LONG>((read + 1) % kReadQueueSlots);
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
