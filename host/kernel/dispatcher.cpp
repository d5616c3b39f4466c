// The dispatcher lock, the busy count and the per-thread accounting.
#include "host/kernel/dispatcher.h"

#include <algorithm>

#include "host/verifier/verifier.h"

namespace host::detail {

namespace {

// Never destroyed: service threads may still touch the lock while the process exits.
struct DispatcherState {
    std::mutex lock;
    std::condition_variable changed;
    int64_t busy = 0;
};

DispatcherState& State() {
    static DispatcherState* state = new DispatcherState;
    return *state;
}

}  // namespace

std::mutex& DispatcherLock() { return State().lock; }
std::condition_variable& DispatcherChanged() { return State().changed; }

HostThread& CurrentHostThread() {
    thread_local HostThread current;
    return current;
}

void AddBusy() { ++State().busy; }

void RemoveBusy() {
    if (--State().busy == 0) State().changed.notify_all();
    if (State().busy < 0) VerifierFault("host busy count went negative (internal error)");
}

int64_t BusyCount() { return State().busy; }

LONGLONG NextDeadline() {
    return std::min({NextTimerDeadline(), NextWaitDeadline(), NextCallbackDeadline()});
}

void ExpireDue(LONGLONG now) {
    ExpireTimers(now);
    ExpireWaits(now);
    ExpireCallbacks(now);
}

void CheckNoActiveObjectsIn(const void* begin, size_t size) {
    Guard guard(DispatcherLock());
    if (TimersIn(begin, size)) VerifierFault("freeing pool that holds a timer still set");
    if (DpcsIn(begin, size)) VerifierFault("freeing pool that holds a queued DPC");
    if (WaitObjectsIn(begin, size)) {
        VerifierFault("freeing pool that holds an object a thread is waiting on");
    }
}

}  // namespace host::detail
