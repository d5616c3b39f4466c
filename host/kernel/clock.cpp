// The host clock (real or manual), the thread that fires deadlines in real time, the stepping
// of the manual clock and the idle barrier.
#include "host/kernel/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "host/kernel/dispatcher.h"
#include "host/kernel/thread_precedence.h"
#include "host/verifier/verifier.h"

namespace host {

namespace {

constexpr LONGLONG kUnixEpochAsSystemTime = 116444736000000000LL;
constexpr auto kIdleBarrierLimit = std::chrono::seconds(60);

std::atomic<bool> g_manual{false};
std::atomic<LONGLONG> g_manual_now{0};
std::atomic<LONGLONG> g_manual_start{0};
std::atomic<LONGLONG> g_system_time_step{0};

LONGLONG RealSystemTime() {
    auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpochAsSystemTime +
           std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count() / 100;
}

std::condition_variable& ClockThreadWake() {
    static auto* wake = new std::condition_variable;
    return *wake;
}

// Fires deadlines as real time reaches them; sleeps while the manual clock is in use, since
// then only AdvanceClock moves time.
void ClockThreadMain() {
    detail::TakePrecedenceOf(detail::ExecutionContext::TimerExpiry);
    detail::Guard guard(detail::DispatcherLock());
    for (;;) {
        LONGLONG next = detail::NextDeadline();
        if (g_manual.load() || next == detail::kNoDeadline) {
            ClockThreadWake().wait(guard);
            continue;
        }
        LONGLONG now = RealSystemTime();
        if (next <= now) {
            detail::ExpireDue(now);
            continue;
        }
        ClockThreadWake().wait_for(guard, std::chrono::nanoseconds((next - now) * 100));
    }
}

void StartClockThreadOnce() {
    static bool started = false;  // guarded by the dispatcher lock
    if (started) return;
    started = true;
    std::thread(ClockThreadMain).detach();
}

}  // namespace

LONGLONG Now() { return g_manual.load() ? g_manual_now.load() : RealSystemTime(); }

bool ManualClockInUse() { return g_manual.load(); }

void StepSystemTime(LONGLONG delta) {
    detail::Guard guard(detail::DispatcherLock());
    g_system_time_step.fetch_add(delta);
    detail::DeadlinesChanged();
}

LONGLONG SystemTimeFromHostTime(LONGLONG hostTime) { return hostTime + g_system_time_step.load(); }

LONGLONG HostTimeFromSystemTime(LONGLONG systemTime) {
    return systemTime - g_system_time_step.load();
}

void UseManualClock(LONGLONG start) {
    detail::Guard guard(detail::DispatcherLock());
    g_manual_now.store(start);
    g_manual_start.store(start);
    g_system_time_step.store(0);
    g_manual.store(true);
    detail::DeadlinesChanged();
}

void UseRealClock() {
    detail::Guard guard(detail::DispatcherLock());
    g_system_time_step.store(0);
    g_manual.store(false);
    detail::DeadlinesChanged();
}

void RunUntilIdle() {
    if (detail::CurrentHostThread().counted) {
        VerifierFault("RunUntilIdle called from a host thread (it would wait for itself)");
    }
    detail::Guard guard(detail::DispatcherLock());
    bool idle = detail::DispatcherChanged().wait_for(guard, kIdleBarrierLimit, [] {
        return detail::BusyCount() == 0;
    });
    if (!idle) {
        VerifierFault("host still busy after %lld s: %zu DPCs queued, %zu work items queued, "
                      "%zu callbacks due, %zu system threads alive",
                      static_cast<long long>(kIdleBarrierLimit.count()),
                      detail::QueuedDpcCount(), detail::QueuedWorkItemCount(),
                      detail::ReadyCallbackCount(), detail::LiveThreadCount());
    }
}

void AdvanceClockTo(LONGLONG target) {
    if (!g_manual.load()) VerifierFault("AdvanceClock needs the manual clock");
    if (target < g_manual_now.load()) VerifierFault("AdvanceClock cannot move the clock back");
    for (;;) {
        RunUntilIdle();
        detail::Guard guard(detail::DispatcherLock());
        LONGLONG next = detail::NextDeadline();
        if (next > target) {
            g_manual_now.store(target);
            break;
        }
        if (next > g_manual_now.load()) g_manual_now.store(next);
        detail::ExpireDue(g_manual_now.load());
    }
    RunUntilIdle();
}

void AdvanceClock(LONGLONG delta) {
    if (delta < 0) VerifierFault("AdvanceClock by a negative time");
    AdvanceClockTo(Now() + delta);
}

namespace detail {

void DeadlinesChanged() {
    if (g_manual.load()) {
        ExpireDue(g_manual_now.load());
    } else {
        StartClockThreadOnce();
    }
    ClockThreadWake().notify_all();
}

void ResetClock() { UseRealClock(); }

}  // namespace detail

}  // namespace host

// Any IRQL.
void KeQuerySystemTime(PLARGE_INTEGER CurrentTime) {
    CurrentTime->QuadPart = host::SystemTimeFromHostTime(host::Now());
}

// Any IRQL. Real time: a steady clock from the first call; manual: the manual clock's distance
// from where it started, so it follows AdvanceClock exactly.
ULONGLONG KeQueryInterruptTime(void) {
    static const auto origin = std::chrono::steady_clock::now();
    if (host::g_manual.load()) {
        return static_cast<ULONGLONG>(host::g_manual_now.load() - host::g_manual_start.load());
    }
    auto elapsed = std::chrono::steady_clock::now() - origin;
    return static_cast<ULONGLONG>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() / 100);
}
