// The FrameRing between the frame work item and the frame timer.
#include "driver/stream_data_ring.h"

static LONG NextRingIndex(LONG Index) { return static_cast<LONG>((Index + 1) % kFrameRingSlots); }

bool FrameRingHasRoom(const DeviceContext* Device) {
    return NextRingIndex(ReadOnce(Device->RingWriteIndex)) != ReadOnce(Device->RingReadIndex);
}

bool ParkFinishedRequest(DeviceContext* Device, StreamContext* Stream,
                         PHW_STREAM_REQUEST_BLOCK Request) {
    LONG write = Device->RingWriteIndex;
    if (NextRingIndex(write) == Device->RingReadIndex) return false;
    Stream->RingSlots[write] = Request;
    WriteOnce(Device->RingWriteIndex, NextRingIndex(write));
    return true;
}

PHW_STREAM_REQUEST_BLOCK TakeFinishedRequest(DeviceContext* Device, StreamContext* Stream) {
    LONG read = Device->RingReadIndex;
    if (read == Device->RingWriteIndex) return nullptr;
    PHW_STREAM_REQUEST_BLOCK request = Stream->RingSlots[read];
    Stream->RingSlots[read] = nullptr;
    WriteOnce(Device->RingReadIndex, NextRingIndex(read));
    return request;
}
