// Internal to host/kernel: the dispatcher database. One lock guards every dispatcher object's
// signal state, the wait list, the timer list, the DPC, work and callback queues and the busy
// count, as the real kernel's dispatcher lock does; signalling satisfies waits under it, so the
// idle barrier never sees a thread that is "about to wake".
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/kernel.h"

namespace host::detail {

using Guard = std::unique_lock<std::mutex>;

constexpr LONGLONG kNoDeadline = INT64_MAX;

std::mutex& DispatcherLock();

// Notified (under the lock) whenever queues drain, the busy count drops to zero or deadlines
// change; barriers and flushes wait on it with a predicate. The service threads (DPC,
// callback, work queues) each wait on a variable of their own, notified when their queue gets
// an entry, so that one queued item wakes one thread rather than all of them.
std::condition_variable& DispatcherChanged();

// Per-thread accounting. `counted` is true while the thread contributes one unit to the busy
// count (a system thread, or a service thread running an item); blocking in a wait takes the
// unit away and satisfying the wait gives it back.
struct HostThread {
    bool counted = false;
    PKTHREAD thread = nullptr;  // system threads only
};
HostThread& CurrentHostThread();

// Busy count (lock held).
void AddBusy();
void RemoveBusy();
int64_t BusyCount();

// Satisfies every wait that the current signal states allow, in the order the waits began
// (lock held). Call after any signal state rises.
void WakeSatisfiedWaiters();

// Deadlines (lock held): the earliest pending timer, wait time-out or scheduled callback, and
// firing everything due at `now`. DeadlinesChanged after inserting one: fires it at once if
// already due and wakes the real-time clock thread.
LONGLONG NextDeadline();
void ExpireDue(LONGLONG now);
void DeadlinesChanged();

// Per-module pieces of the above (lock held).
LONGLONG NextWaitDeadline();
void ExpireWaits(LONGLONG now);
LONGLONG NextTimerDeadline();
void ExpireTimers(LONGLONG now);
LONGLONG NextCallbackDeadline();
void ExpireCallbacks(LONGLONG now);

// Queues a DPC (lock held); false if already queued.
bool QueueDpcLocked(PKDPC dpc, PVOID argument1, PVOID argument2);

// What the busy count is made of, for the idle barrier's diagnostics (lock held).
size_t QueuedDpcCount();
size_t QueuedWorkItemCount();
size_t ReadyCallbackCount();
size_t LiveThreadCount();

// Verifier: faults if [begin, begin + size) holds a queued timer or DPC or an object some
// thread waits on. Takes the lock.
void CheckNoActiveObjectsIn(const void* begin, size_t size);
bool TimersIn(const void* begin, size_t size);
bool DpcsIn(const void* begin, size_t size);
bool WaitObjectsIn(const void* begin, size_t size);

// Reset pieces (lock held unless noted).
void ResetTimers();
void ResetDpcs(Guard& guard);
void ResetWorkItems(Guard& guard);
void ResetCallbacks(Guard& guard);
void ResetClock();   // takes no lock
void ResetPool();    // takes the pool lock
void ResetHandles(); // takes the handle lock, runs close callbacks

inline bool InRange(const void* p, const void* begin, size_t size) {
    auto a = reinterpret_cast<uintptr_t>(p);
    auto b = reinterpret_cast<uintptr_t>(begin);
    return a >= b && a < b + size;
}

}  // namespace host::detail
