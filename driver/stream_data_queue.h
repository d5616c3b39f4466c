// The capture stream's read-request queue (ReadQueue with ReadIndex / WriteIndex) and the
// cancelling of requests that will carry no frame.
//
// Locking: every routine here except CancelReadRequest is called with DeviceLock held (it
// guards ReadQueue, ReadIndex, WriteIndex and the flushes of the FrameRing).
#pragma once

#include "driver/device_context.h"

// Completes a read request with no frame in it: DataUsed 0, STATUS_CANCELLED.
void CancelReadRequest(PHW_STREAM_REQUEST_BLOCK Request);

// Stores the request at WriteIndex and advances it. False, storing nothing, when that slot still
// holds a pending request (sixteen are outstanding): a pending request is never overwritten.
bool QueueReadRequest(StreamContext* Stream, PHW_STREAM_REQUEST_BLOCK Request);

// Takes the request out of the queue wherever it waits; the younger requests close up behind
// it, so the queue never holds a gap and keeps its order. False when it is not queued.
bool RemoveReadRequest(StreamContext* Stream, PHW_STREAM_REQUEST_BLOCK Request);

// True when a read request is waiting in the queue.
bool ReadRequestPending(const StreamContext* Stream);

// Takes the oldest request and advances ReadIndex; null when the queue is empty.
PHW_STREAM_REQUEST_BLOCK TakeOldestReadRequest(StreamContext* Stream);

// Cancels every queued request (slot 0..15), then every request parked in the FrameRing
// (slot 0..4), empties both and resets their four indices.
void FlushStreamRequests(DeviceContext* Device, StreamContext* Stream);
