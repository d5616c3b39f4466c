// Internal to host/framework: the record behind every request block the framework sends, and
// the completion path the two notification calls share.
#pragma once

#include <cstdint>

#include "platform/strmini.h"

namespace host::framework {

class FrameworkAdapter;
class FrameworkStream;

enum class RequestKind { Adapter, StreamControl, StreamData };

// A read request carries one stream header with one KS_FRAME_INFO directly behind it.
struct ReadHeaders {
    KSSTREAM_HEADER Header;
    KS_FRAME_INFO FrameInfo;
};
static_assert(offsetof(ReadHeaders, FrameInfo) == sizeof(KSSTREAM_HEADER),
              "the frame information follows the stream header without a gap");

struct Request {
    HW_STREAM_REQUEST_BLOCK Srb;
    ReadHeaders Read;
    STREAM_PROPERTY_DESCRIPTOR PropertyDescriptor;
    RequestKind Kind = RequestKind::Adapter;
    FrameworkAdapter* Adapter = nullptr;
    FrameworkStream* Stream = nullptr;  // stream requests only
    uint64_t Id = 0;
    LONGLONG CompletionTime = 0;

    // Guarded by the adapter's lock.
    bool Pending = false;    // handed to the driver, not completed yet
    bool Completed = false;
    int DriverCalls = 0;     // cancel or time-out calls into the driver in progress
};

// Finds the framework record of a request block; null for a block the framework did not send
// (a test calling the driver's routines directly).
Request* FindRequest(PHW_STREAM_REQUEST_BLOCK Srb);

// Tracking of live records (from creation until the framework frees them).
void TrackRequest(Request* request);
void UntrackRequest(Request* request);

// Completion of any request by the driver; `what` names the notification for messages.
void CompleteRequest(PHW_STREAM_REQUEST_BLOCK Srb, bool StreamNotification, const char* what);

}  // namespace host::framework
