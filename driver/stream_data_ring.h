// The FrameRing: five slots of read requests whose buffers hold a finished frame, filled by the
// frame work item and emptied by the frame timer, one request per frame period. It holds at
// most four requests: full when (RingWriteIndex + 1) mod 5 = RingReadIndex.
//
// Locking: parking and taking run under DeviceLock, like the flushes, so a stop racing the
// frame timer or the work item can never complete a request twice or leave one parked after
// its flush. The indices are written with WriteOnce because the transfer completion reads
// them without the lock to decide whether a frame can be handed off at all.
#pragma once

#include "driver/device_context.h"

// Lock-free room test for the transfer completion.
bool FrameRingHasRoom(const DeviceContext* Device);

// Caller holds DeviceLock. Parks the request; false (nothing stored) when the ring is full.
bool ParkFinishedRequest(DeviceContext* Device, StreamContext* Stream,
                         PHW_STREAM_REQUEST_BLOCK Request);

// Caller holds DeviceLock. The oldest parked request, or null when the ring is empty or its
// oldest slot was emptied (the slot is consumed all the same).
PHW_STREAM_REQUEST_BLOCK TakeFinishedRequest(DeviceContext* Device, StreamContext* Stream);
