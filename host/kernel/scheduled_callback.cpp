// Device-side callbacks at host times (the simulated camera's frame pacing), run in time order
// on one callback thread.
#include <deque>
#include <map>
#include <thread>
#include <utility>

#include "host/kernel/clock.h"
#include "host/kernel/dispatcher.h"
#include "host/kernel/thread_precedence.h"
#include "host/verifier/verifier.h"

namespace host::detail {

namespace {

struct Callback {
    CallbackId id;
    LONGLONG time;
    LONGLONG period;  // 0: one-shot
    std::function<void()> fn;
};

struct CallbackQueues {
    std::map<std::pair<LONGLONG, uint64_t>, Callback> pending;  // by (time, scheduling order)
    std::deque<Callback> ready;
    uint64_t next_order = 1;
    CallbackId next_id = 1;
    CallbackId running = 0;
    bool running_cancelled = false;
    bool thread_started = false;
    std::thread::id thread;
    std::condition_variable readied;  // the callback thread's own wake-up
};

CallbackQueues& Callbacks() {
    static auto* callbacks = new CallbackQueues;
    return *callbacks;
}

void InsertPending(Callback callback) {
    CallbackQueues& queues = Callbacks();
    LONGLONG time = callback.time;
    queues.pending.emplace(std::make_pair(time, queues.next_order++), std::move(callback));
}

void RunOneCallback(Guard& guard) {
    CallbackQueues& queues = Callbacks();
    Callback callback = std::move(queues.ready.front());
    queues.ready.pop_front();
    queues.running = callback.id;
    queues.running_cancelled = false;
    guard.unlock();

    callback.fn();

    guard.lock();
    queues.running = 0;
    if (callback.period > 0 && !queues.running_cancelled) {
        callback.time += callback.period;
        InsertPending(std::move(callback));
        DeadlinesChanged();
    }
    RemoveBusy();
    DispatcherChanged().notify_all();
}

void CallbackThreadMain() {
    TakePrecedenceOf(ExecutionContext::Device);
    CurrentHostThread().counted = true;  // while a callback runs; the ready entry holds the unit
    Guard guard(DispatcherLock());
    Callbacks().thread = std::this_thread::get_id();
    for (;;) {
        Callbacks().readied.wait(guard, [] { return !Callbacks().ready.empty(); });
        RunOneCallback(guard);
    }
}

CallbackId Schedule(LONGLONG time, LONGLONG period, std::function<void()> fn) {
    Guard guard(DispatcherLock());
    CallbackQueues& queues = Callbacks();
    CallbackId id = queues.next_id++;
    InsertPending(Callback{id, time, period, std::move(fn)});
    if (!queues.thread_started) {
        queues.thread_started = true;
        std::thread(CallbackThreadMain).detach();
    }
    DeadlinesChanged();
    return id;
}

}  // namespace

LONGLONG NextCallbackDeadline() {
    auto& pending = Callbacks().pending;
    return pending.empty() ? kNoDeadline : pending.begin()->first.first;
}

void ExpireCallbacks(LONGLONG now) {
    CallbackQueues& queues = Callbacks();
    while (!queues.pending.empty() && queues.pending.begin()->first.first <= now) {
        queues.ready.push_back(std::move(queues.pending.begin()->second));
        queues.pending.erase(queues.pending.begin());
        AddBusy();
    }
    if (!queues.ready.empty()) {
        queues.readied.notify_one();
        DispatcherChanged().notify_all();
    }
}

size_t ReadyCallbackCount() { return Callbacks().ready.size(); }

void ResetCallbacks(Guard& guard) {
    CallbackQueues& queues = Callbacks();
    queues.running_cancelled = true;
    DispatcherChanged().wait(guard, [&] { return queues.running == 0; });
    for (size_t i = 0; i < queues.ready.size(); ++i) RemoveBusy();
    queues.ready.clear();
    queues.pending.clear();
}

}  // namespace host::detail

namespace host {

CallbackId ScheduleAt(LONGLONG time, std::function<void()> fn) {
    return detail::Schedule(time, 0, std::move(fn));
}

CallbackId SchedulePeriodic(LONGLONG first, LONGLONG period, std::function<void()> fn) {
    if (period <= 0) VerifierFault("SchedulePeriodic with a period of %lld", static_cast<long long>(period));
    return detail::Schedule(first, period, std::move(fn));
}

bool CancelScheduled(CallbackId id) {
    using namespace detail;
    std::function<void()> dropped;  // destroyed outside the lock: it may own anything
    Guard guard(DispatcherLock());
    CallbackQueues& queues = Callbacks();
    for (auto it = queues.pending.begin(); it != queues.pending.end(); ++it) {
        if (it->second.id == id) {
            dropped = std::move(it->second.fn);
            queues.pending.erase(it);
            guard.unlock();
            return true;
        }
    }
    for (auto it = queues.ready.begin(); it != queues.ready.end(); ++it) {
        if (it->id == id) {
            dropped = std::move(it->fn);
            queues.ready.erase(it);
            RemoveBusy();
            guard.unlock();
            return true;
        }
    }
    if (queues.running == id) {
        queues.running_cancelled = true;
        if (std::this_thread::get_id() != queues.thread) {
            DispatcherChanged().wait(guard, [&] { return queues.running != id; });
        }
    }
    return false;
}

}  // namespace host
