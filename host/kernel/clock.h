// The host clock, the idle barrier and device-side scheduled callbacks.
//
// Time is the platform's: 100 ns units since 1 January 1601 (what KeQuerySystemTime returns).
// By default the clock is the machine's real time (for the CLI). Tests switch to a manual clock
// that moves only when they advance it; timers, wait time-outs, KeDelayExecutionThread and
// scheduled callbacks all follow it, so pacing, drop counts and time stamps are deterministic:
//
//     host::ResetHost();                  // fresh host (host/kernel/host_reset.h)
//     host::UseManualClock(kStart);
//     ... start the stream ...
//     host::AdvanceClock(33 * host::kMillisecond);  // fires everything due, in time order
//     ... assert on what was delivered ...
//
// Busy and idle: the host counts queued or running DPCs, work items and due callbacks, and every
// host thread (system threads, worker, DPC and callback threads) that is not blocked in a
// KeWaitFor* / KeDelayExecutionThread wait. RunUntilIdle returns when that count is zero, i.e.
// nothing can happen any more until the clock moves or a foreign thread (the test) acts.
// Threads not created through the host (std::thread in a test) are invisible to it: device-side
// code that needs a thread of its own uses ScheduleAt / SchedulePeriodic or
// PsCreateSystemThread instead.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/kernel.h"

namespace host {

constexpr LONGLONG kMicrosecond = 10;
constexpr LONGLONG kMillisecond = 10 * 1000;
constexpr LONGLONG kSecond = 10 * 1000 * 1000;

// A convenient manual-clock start: 1 January 2025 00:00 UTC.
constexpr LONGLONG kDefaultManualStart = 133801632000000000LL;

// Switches to the manual clock, standing at `start`. Pending deadlines keep their absolute times.
void UseManualClock(LONGLONG start = kDefaultManualStart);
// Back to real time (the default).
void UseRealClock();
bool ManualClockInUse();

// Current host time: what KeQuerySystemTime returns, unless the system time was stepped. Every
// deadline (timers, wait time-outs, scheduled callbacks) counts on this time, which never steps.
LONGLONG Now();

// Sets the system time (KeQuerySystemTime) forward or back by `delta`, as an administrator or
// a time service would: host time, interrupt time and deadlines already set do not move; an
// absolute due time is read as a system time when it is given. Reset by UseManualClock and
// UseRealClock.
void StepSystemTime(LONGLONG delta);
// KeQuerySystemTime's time for a host time, and back.
LONGLONG SystemTimeFromHostTime(LONGLONG hostTime);
LONGLONG HostTimeFromSystemTime(LONGLONG systemTime);

// Manual clock only. Moves the clock forward by `delta` (>= 0) in steps: at each pending deadline
// up to the target (timer expiry, wait time-out, scheduled callback) the clock stops at exactly
// that time, everything due fires, and the host runs until idle before the next step. Returns
// idle, with the clock at the target.
void AdvanceClock(LONGLONG delta);
void AdvanceClockTo(LONGLONG time);

// Waits until the host is idle (see above). Callable from any thread that is not a host thread.
// Stops the process with a message if the host stays busy for a minute of real time (a thread
// that spins, or a DPC that re-queues itself forever).
void RunUntilIdle();

// Device-side callbacks: `fn` runs on the host's callback thread at or after `time`, in time
// order (ties in scheduling order), and counts as busy for RunUntilIdle from the moment it is
// due until it returns. Returns an id for CancelScheduled (never 0).
using CallbackId = uint64_t;
CallbackId ScheduleAt(LONGLONG time, std::function<void()> fn);
// Runs `fn` at first, first + period, first + 2 period ... (no drift) until cancelled.
CallbackId SchedulePeriodic(LONGLONG first, LONGLONG period, std::function<void()> fn);
// Removes the callback. If it is running on another thread, waits until that run returns; a
// periodic callback may cancel itself from inside its run. Returns true if a pending run was
// removed (a one-shot callback then never runs).
bool CancelScheduled(CallbackId id);

}  // namespace host
