// One-shot timers and their DPCs: firing time, re-arming, cancel, serialisation and flush.
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "host/kernel/clock.h"
#include "kernel_fixture.h"
#include "platform/kernel.h"

namespace host_test {
namespace {

using TimerDpcTest = KernelTest;

// A timer whose DPC records the time and IRQL it ran at, and may re-arm itself.
struct Ticker {
    KTIMER timer;
    KDPC dpc;
    LONGLONG period = 0;  // 0: one-shot
    std::mutex lock;
    std::vector<LONGLONG> fired_at;
    KIRQL irql_in_dpc = PASSIVE_LEVEL;

    static void NTAPI Tick(PKDPC, PVOID context, PVOID, PVOID) {
        auto* self = static_cast<Ticker*>(context);
        std::lock_guard<std::mutex> guard(self->lock);
        self->fired_at.push_back(host::Now());
        self->irql_in_dpc = KeGetCurrentIrql();
        if (self->period != 0) KeSetTimer(&self->timer, Relative(self->period), &self->dpc);
    }

    Ticker() {
        KeInitializeTimer(&timer);
        KeInitializeDpc(&dpc, Tick, this);
    }
    std::vector<LONGLONG> Fired() {
        std::lock_guard<std::mutex> guard(lock);
        return fired_at;
    }
};

TEST_F(TimerDpcTest, DpcRunsAtTheDueTimeAtDispatchLevel) {
    Ticker ticker;
    EXPECT_FALSE(KeSetTimer(&ticker.timer, Relative(33 * host::kMillisecond), &ticker.dpc));
    host::AdvanceClock(33 * host::kMillisecond - 1);
    EXPECT_TRUE(ticker.Fired().empty());
    host::AdvanceClock(1);
    ASSERT_EQ(ticker.Fired().size(), 1u);
    EXPECT_EQ(ticker.Fired()[0], kStart + 33 * host::kMillisecond);
    EXPECT_EQ(ticker.irql_in_dpc, DISPATCH_LEVEL);
}

TEST_F(TimerDpcTest, ReArmingDpcSeesEveryPeriodOfALongAdvance) {
    Ticker ticker;
    ticker.period = 10 * host::kMillisecond;
    KeSetTimer(&ticker.timer, Relative(ticker.period), &ticker.dpc);
    host::AdvanceClock(100 * host::kMillisecond);
    std::vector<LONGLONG> fired = ticker.Fired();
    ASSERT_EQ(fired.size(), 10u) << "one advance must step through every expiry";
    for (size_t i = 0; i < fired.size(); ++i) {
        EXPECT_EQ(fired[i], kStart + static_cast<LONGLONG>(i + 1) * ticker.period);
    }
    KeCancelTimer(&ticker.timer);
}

TEST_F(TimerDpcTest, SettingASetTimerMovesItInsteadOfAddingAnExpiry) {
    Ticker ticker;
    KeSetTimer(&ticker.timer, Relative(10 * host::kMillisecond), &ticker.dpc);
    EXPECT_TRUE(KeSetTimer(&ticker.timer, Absolute(kStart + 20 * host::kMillisecond), &ticker.dpc));
    host::AdvanceClock(50 * host::kMillisecond);
    ASSERT_EQ(ticker.Fired().size(), 1u);
    EXPECT_EQ(ticker.Fired()[0], kStart + 20 * host::kMillisecond);
}

TEST_F(TimerDpcTest, CancelReportsWhetherTheTimerWasSet) {
    struct Case {
        const char* reason;
        LONGLONG advance_before_cancel;
        BOOLEAN expected_cancel;
        size_t expected_fired;
    };
    const Case cases[] = {
        {"cancelled while set: the DPC never runs", 5 * host::kMillisecond, TRUE, 0},
        {"cancelled after it fired: nothing to cancel", 10 * host::kMillisecond, FALSE, 1},
    };
    for (const Case& c : cases) {
        host::ResetHost();
        host::UseManualClock(kStart);
        Ticker ticker;
        KeSetTimer(&ticker.timer, Relative(10 * host::kMillisecond), &ticker.dpc);
        host::AdvanceClock(c.advance_before_cancel);
        EXPECT_EQ(KeCancelTimer(&ticker.timer), c.expected_cancel) << c.reason;
        host::AdvanceClock(20 * host::kMillisecond);
        EXPECT_EQ(ticker.Fired().size(), c.expected_fired) << c.reason;
    }
}

// DPCs that detect whether another DPC runs at the same time, and record their order.
struct SerialProbe {
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::mutex lock;
    std::vector<int> order;
};

struct ProbeDpc {
    KDPC dpc;
    SerialProbe* probe;
    int index;
};

void NTAPI ProbeRoutine(PKDPC, PVOID context, PVOID, PVOID) {
    auto* self = static_cast<ProbeDpc*>(context);
    if (self->probe->inside.fetch_add(1) != 0) self->probe->overlapped = true;
    for (int i = 0; i < 200; ++i) std::this_thread::yield();  // widen any overlap window
    {
        std::lock_guard<std::mutex> guard(self->probe->lock);
        self->probe->order.push_back(self->index);
    }
    self->probe->inside.fetch_sub(1);
}

TEST_F(TimerDpcTest, DpcsRunOneAtATimeInQueueOrderAndFlushWaitsForThem) {
    SerialProbe probe;
    ProbeDpc dpcs[20];
    for (int i = 0; i < 20; ++i) {
        dpcs[i].probe = &probe;
        dpcs[i].index = i;
        KeInitializeDpc(&dpcs[i].dpc, ProbeRoutine, &dpcs[i]);
    }
    for (ProbeDpc& d : dpcs) EXPECT_TRUE(KeInsertQueueDpc(&d.dpc, nullptr, nullptr));
    KeFlushQueuedDpcs();
    std::lock_guard<std::mutex> guard(probe.lock);
    ASSERT_EQ(probe.order.size(), 20u) << "flush returned before every queued DPC ran";
    for (int i = 0; i < 20; ++i) EXPECT_EQ(probe.order[static_cast<size_t>(i)], i);
    EXPECT_FALSE(probe.overlapped.load());
}

TEST_F(TimerDpcTest, TimersDueTogetherFireInTheOrderTheyWereSet) {
    SerialProbe probe;
    struct OrderedTimer {
        KTIMER timer;
        ProbeDpc dpc;
    } timers[3];
    for (int i : {2, 0, 1}) {
        timers[i].dpc.probe = &probe;
        timers[i].dpc.index = i;
        KeInitializeDpc(&timers[i].dpc.dpc, ProbeRoutine, &timers[i].dpc);
        KeInitializeTimer(&timers[i].timer);
        KeSetTimer(&timers[i].timer, Relative(host::kMillisecond), &timers[i].dpc.dpc);
    }
    host::AdvanceClock(host::kMillisecond);
    std::lock_guard<std::mutex> guard(probe.lock);
    EXPECT_EQ(probe.order, (std::vector<int>{2, 0, 1}));
}

// From inside a running DPC (so the DPC thread cannot take the new ones yet): queue B twice,
// then queue and remove C.
struct QueueFromDpc {
    KDPC outer, b, c;
    std::atomic<int> b_runs{0}, c_runs{0};
    BOOLEAN first_insert = FALSE, second_insert = TRUE, removed = FALSE, removed_again = TRUE;
};

void NTAPI CountB(PKDPC, PVOID context, PVOID, PVOID) { ++static_cast<QueueFromDpc*>(context)->b_runs; }
void NTAPI CountC(PKDPC, PVOID context, PVOID, PVOID) { ++static_cast<QueueFromDpc*>(context)->c_runs; }
void NTAPI Outer(PKDPC, PVOID context, PVOID, PVOID) {
    auto* self = static_cast<QueueFromDpc*>(context);
    self->first_insert = KeInsertQueueDpc(&self->b, nullptr, nullptr);
    self->second_insert = KeInsertQueueDpc(&self->b, nullptr, nullptr);
    KeInsertQueueDpc(&self->c, nullptr, nullptr);
    self->removed = KeRemoveQueueDpc(&self->c);
    self->removed_again = KeRemoveQueueDpc(&self->c);
}

TEST_F(TimerDpcTest, QueuingAQueuedDpcIsRefusedAndRemovalPreventsItsRun) {
    QueueFromDpc state;
    KeInitializeDpc(&state.outer, Outer, &state);
    KeInitializeDpc(&state.b, CountB, &state);
    KeInitializeDpc(&state.c, CountC, &state);
    KeInsertQueueDpc(&state.outer, nullptr, nullptr);
    host::RunUntilIdle();
    EXPECT_TRUE(state.first_insert);
    EXPECT_FALSE(state.second_insert);
    EXPECT_TRUE(state.removed);
    EXPECT_FALSE(state.removed_again);
    EXPECT_EQ(state.b_runs.load(), 1);
    EXPECT_EQ(state.c_runs.load(), 0);
}

TEST_F(TimerDpcTest, TimerWithoutDpcIsAWaitableObject) {
    KTIMER timer;
    KeInitializeTimer(&timer);
    KeSetTimer(&timer, Relative(host::kMillisecond), nullptr);
    LARGE_INTEGER zero = Relative(0);
    EXPECT_EQ(KeWaitForSingleObject(&timer, Executive, KernelMode, FALSE, &zero), STATUS_TIMEOUT);
    host::AdvanceClock(host::kMillisecond);
    EXPECT_EQ(KeWaitForSingleObject(&timer, Executive, KernelMode, FALSE, &zero), STATUS_SUCCESS);
    EXPECT_TRUE(KeReadStateTimer(&timer)) << "a notification timer stays signalled";
}

TEST_F(TimerDpcTest, RealClockTimerFiresWithoutAnyAdvance) {
    host::UseRealClock();
    KTIMER timer;
    KeInitializeTimer(&timer);
    LARGE_INTEGER before;
    KeQuerySystemTime(&before);
    KeSetTimer(&timer, Relative(2 * host::kMillisecond), nullptr);
    EXPECT_EQ(KeWaitForSingleObject(&timer, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
    LARGE_INTEGER after;
    KeQuerySystemTime(&after);
    EXPECT_GE(after.QuadPart - before.QuadPart, 2 * host::kMillisecond);
}

}  // namespace
}  // namespace host_test
