// Which request blocks belong to the framework, and the shared completion path.
#include <mutex>
#include <unordered_map>

#include "host/framework/adapter.h"
#include "host/framework/foreign_completions.h"
#include "host/framework/request.h"
#include "host/verifier/verifier.h"

namespace host::framework {
namespace {

std::mutex& TrackingLock() {
    static std::mutex lock;
    return lock;
}

std::unordered_map<const HW_STREAM_REQUEST_BLOCK*, Request*>& Tracked() {
    static std::unordered_map<const HW_STREAM_REQUEST_BLOCK*, Request*> tracked;
    return tracked;
}

}  // namespace

Request* FindRequest(PHW_STREAM_REQUEST_BLOCK Srb) {
    std::lock_guard<std::mutex> guard(TrackingLock());
    auto it = Tracked().find(Srb);
    return it == Tracked().end() ? nullptr : it->second;
}

void TrackRequest(Request* request) {
    std::lock_guard<std::mutex> guard(TrackingLock());
    Tracked()[&request->Srb] = request;
}

void UntrackRequest(Request* request) {
    std::lock_guard<std::mutex> guard(TrackingLock());
    Tracked().erase(&request->Srb);
}

void CompleteRequest(PHW_STREAM_REQUEST_BLOCK Srb, bool StreamNotification, const char* what) {
    if (Srb == nullptr) VerifierFault("%s without a request block", what);
    VerifierRequestCompleted(Srb, what);
    Request* request = FindRequest(Srb);
    if (request == nullptr) {
        RecordForeignCompletion(Srb, StreamNotification);
        return;
    }
    const bool isStreamRequest = request->Kind != RequestKind::Adapter;
    if (isStreamRequest != StreamNotification) {
        VerifierFault("%s used for %s request (command 0x%X)", what,
                      isStreamRequest ? "a stream" : "an adapter",
                      static_cast<unsigned>(Srb->Command));
    }
    request->Adapter->OnRequestCompleted(request);
}

}  // namespace host::framework
