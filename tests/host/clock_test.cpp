// The manual clock, scheduled callbacks and the idle barrier.
#include <atomic>
#include <mutex>
#include <vector>

#include "host/kernel/clock.h"
#include "kernel_fixture.h"
#include "platform/kernel.h"

namespace host_test {
namespace {

using ClockTest = KernelTest;

struct Log {
    std::mutex lock;
    std::vector<std::pair<int, LONGLONG>> runs;  // (callback, time it ran at)
    void Add(int who) {
        std::lock_guard<std::mutex> guard(lock);
        runs.emplace_back(who, host::Now());
    }
    std::vector<std::pair<int, LONGLONG>> Get() {
        std::lock_guard<std::mutex> guard(lock);
        return runs;
    }
};

TEST_F(ClockTest, SystemAndInterruptTimeFollowTheManualClock) {
    LARGE_INTEGER now;
    KeQuerySystemTime(&now);
    EXPECT_EQ(now.QuadPart, kStart);
    ULONGLONG interrupt_before = KeQueryInterruptTime();
    host::AdvanceClock(250 * host::kMicrosecond);
    KeQuerySystemTime(&now);
    EXPECT_EQ(now.QuadPart, kStart + 2500);
    EXPECT_EQ(KeQueryInterruptTime() - interrupt_before, 2500u);
}

TEST_F(ClockTest, CallbacksRunInTimeOrderWithTheClockAtTheirTime) {
    Log log;
    host::ScheduleAt(kStart + 30, [&] { log.Add(3); });
    host::ScheduleAt(kStart + 10, [&] { log.Add(1); });
    host::ScheduleAt(kStart + 30, [&] { log.Add(4); });  // tie: scheduling order
    host::ScheduleAt(kStart + 20, [&] {
        log.Add(2);
        host::ScheduleAt(kStart + 25, [&] { log.Add(5); });  // scheduled from a callback
    });
    host::AdvanceClock(100);
    using Run = std::pair<int, LONGLONG>;
    EXPECT_EQ(log.Get(), (std::vector<Run>{{1, kStart + 10}, {2, kStart + 20}, {5, kStart + 25},
                                           {3, kStart + 30}, {4, kStart + 30}}));
    EXPECT_EQ(host::Now(), kStart + 100);
}

TEST_F(ClockTest, PeriodicCallbackKeepsItsGridUntilCancelled) {
    Log log;
    const LONGLONG period = 333333;  // 30 frames a second, not a whole number of ms
    host::CallbackId id = host::SchedulePeriodic(kStart + period, period, [&] { log.Add(0); });
    host::AdvanceClock(10 * period + period / 2);
    auto runs = log.Get();
    ASSERT_EQ(runs.size(), 10u);
    EXPECT_EQ(runs.back().second, kStart + 10 * period) << "the grid drifted";
    EXPECT_TRUE(host::CancelScheduled(id));
    host::AdvanceClock(5 * period);
    EXPECT_EQ(log.Get().size(), 10u);
    EXPECT_FALSE(host::CancelScheduled(id));
}

TEST_F(ClockTest, PeriodicCallbackMayCancelItselfFromInside) {
    std::atomic<int> runs{0};
    std::atomic<host::CallbackId> id{0};
    id = host::SchedulePeriodic(kStart + 1, 1, [&] {
        if (++runs == 3) host::CancelScheduled(id.load());
    });
    host::AdvanceClock(10);
    EXPECT_EQ(runs.load(), 3);
}

TEST_F(ClockTest, CancelledOneShotNeverRuns) {
    std::atomic<int> runs{0};
    host::CallbackId id = host::ScheduleAt(kStart + 5, [&] { ++runs; });
    EXPECT_TRUE(host::CancelScheduled(id));
    host::AdvanceClock(10);
    EXPECT_EQ(runs.load(), 0);
}

// A chain across every kind of host activity: callback -> DPC -> work item -> event -> thread.
struct Chain {
    KDPC dpc;
    PIO_WORKITEM item = nullptr;
    KEVENT event;
    std::atomic<LONGLONG> thread_woke_at{0};
};

void NTAPI ChainWork(PDEVICE_OBJECT, PVOID context) {
    KeSetEvent(&static_cast<Chain*>(context)->event, IO_NO_INCREMENT, FALSE);
}

void NTAPI ChainDpc(PKDPC, PVOID context, PVOID, PVOID) {
    auto* chain = static_cast<Chain*>(context);
    IoQueueWorkItem(chain->item, ChainWork, DelayedWorkQueue, chain);
}

void NTAPI ChainThread(PVOID context) {
    auto* chain = static_cast<Chain*>(context);
    KeWaitForSingleObject(&chain->event, Executive, KernelMode, FALSE, nullptr);
    chain->thread_woke_at = host::Now();
}

TEST_F(ClockTest, IdleBarrierWaitsForAChainThroughEveryKindOfActivity) {
    DEVICE_OBJECT device{};
    Chain chain;
    KeInitializeDpc(&chain.dpc, ChainDpc, &chain);
    KeInitializeEvent(&chain.event, NotificationEvent, FALSE);
    chain.item = IoAllocateWorkItem(&device);
    HANDLE thread;
    ASSERT_EQ(PsCreateSystemThread(&thread, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr,
                                   ChainThread, &chain),
              STATUS_SUCCESS);
    host::ScheduleAt(kStart + 7, [&] { KeInsertQueueDpc(&chain.dpc, nullptr, nullptr); });
    host::AdvanceClock(10);
    EXPECT_EQ(chain.thread_woke_at.load(), kStart + 7);
    EXPECT_EQ(host::LiveSystemThreadCount(), 0u);
    IoFreeWorkItem(chain.item);
    ZwClose(thread);
}

TEST_F(ClockTest, CallbackDueNowRunsWithoutAnAdvance) {
    std::atomic<int> runs{0};
    host::ScheduleAt(kStart, [&] { ++runs; });
    host::RunUntilIdle();
    EXPECT_EQ(runs.load(), 1);
}

}  // namespace
}  // namespace host_test
