// Request life tracking: a request is live from the moment it is handed to the driver until it
// is completed; completing it again or touching it afterwards is a fault.
#include <mutex>
#include <unordered_map>

#include "host/verifier/verifier.h"

namespace host {

namespace {

struct Requests {
    std::mutex lock;
    std::unordered_map<const void*, bool> completed;  // absent: never seen, counts as live
};

Requests& Tracked() {
    static auto* requests = new Requests;
    return *requests;
}

}  // namespace

void VerifierRequestStarted(const void* request) {
    std::lock_guard<std::mutex> guard(Tracked().lock);
    Tracked().completed[request] = false;
}

void VerifierRequestCompleted(const void* request, const char* what) {
    std::lock_guard<std::mutex> guard(Tracked().lock);
    bool& completed = Tracked().completed[request];
    if (completed) VerifierFault("%s: request %p completed twice", what, request);
    completed = true;
}

void VerifierCheckRequestLive(const void* request, const char* what) {
    std::lock_guard<std::mutex> guard(Tracked().lock);
    auto it = Tracked().completed.find(request);
    if (it != Tracked().completed.end() && it->second) {
        VerifierFault("%s: request %p touched after its completion", what, request);
    }
}

void VerifierForgetRequest(const void* request) {
    std::lock_guard<std::mutex> guard(Tracked().lock);
    Tracked().completed.erase(request);
}

namespace detail {

void ResetRequests() {
    std::lock_guard<std::mutex> guard(Tracked().lock);
    Tracked().completed.clear();
}

}  // namespace detail

}  // namespace host
