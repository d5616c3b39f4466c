// Events, semaphores and waits, with time-outs on the manual clock.
#include <atomic>

#include "host/kernel/clock.h"
#include "kernel_fixture.h"
#include "kernel_threads.h"
#include "platform/kernel.h"

namespace host_test {
namespace {

using DispatcherTest = KernelTest;

NTSTATUS Poll(PVOID object) {
    LARGE_INTEGER zero = Relative(0);
    return KeWaitForSingleObject(object, Executive, KernelMode, FALSE, &zero);
}

TEST_F(DispatcherTest, EventStateAfterSatisfyingAWaitFollowsItsType) {
    struct Case {
        const char* reason;
        EVENT_TYPE type;
        BOOLEAN initially_set;
        NTSTATUS first_poll;
        NTSTATUS second_poll;
    };
    const Case cases[] = {
        {"a synchronization event lets one wait through and resets", SynchronizationEvent, TRUE,
         STATUS_SUCCESS, STATUS_TIMEOUT},
        {"a notification event stays signalled for every wait", NotificationEvent, TRUE,
         STATUS_SUCCESS, STATUS_SUCCESS},
        {"an event initialized clear blocks", NotificationEvent, FALSE, STATUS_TIMEOUT,
         STATUS_TIMEOUT},
    };
    for (const Case& c : cases) {
        KEVENT event;
        KeInitializeEvent(&event, c.type, c.initially_set);
        EXPECT_EQ(Poll(&event), c.first_poll) << c.reason;
        EXPECT_EQ(Poll(&event), c.second_poll) << c.reason;
    }
}

TEST_F(DispatcherTest, SetAndResetReturnThePreviousState) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    EXPECT_EQ(KeSetEvent(&event, IO_NO_INCREMENT, FALSE), 0);
    EXPECT_EQ(KeSetEvent(&event, IO_NO_INCREMENT, FALSE), 1);
    EXPECT_EQ(KeReadStateEvent(&event), 1);
    EXPECT_EQ(KeResetEvent(&event), 1);
    EXPECT_EQ(KeResetEvent(&event), 0);
    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    KeClearEvent(&event);
    EXPECT_EQ(KeReadStateEvent(&event), 0);
}

TEST_F(DispatcherTest, SemaphoreCountsDownPerWaitAndUpPerRelease) {
    KSEMAPHORE semaphore;
    KeInitializeSemaphore(&semaphore, 2, 3);
    EXPECT_EQ(Poll(&semaphore), STATUS_SUCCESS);
    EXPECT_EQ(Poll(&semaphore), STATUS_SUCCESS);
    EXPECT_EQ(Poll(&semaphore), STATUS_TIMEOUT);
    EXPECT_EQ(KeReleaseSemaphore(&semaphore, SEMAPHORE_INCREMENT, 3, FALSE), 0);
    EXPECT_EQ(KeReadStateSemaphore(&semaphore), 3);
}

TEST_F(DispatcherTest, WaitAnyReportsAndConsumesOnlyTheFirstSignalledObject) {
    KEVENT events[3];
    KeInitializeEvent(&events[0], SynchronizationEvent, FALSE);
    KeInitializeEvent(&events[1], SynchronizationEvent, TRUE);
    KeInitializeEvent(&events[2], SynchronizationEvent, TRUE);
    PVOID objects[3] = {&events[0], &events[1], &events[2]};
    LARGE_INTEGER zero = Relative(0);
    EXPECT_EQ(KeWaitForMultipleObjects(3, objects, WaitAny, Executive, KernelMode, FALSE, &zero,
                                       nullptr),
              STATUS_WAIT_0 + 1);
    EXPECT_EQ(KeReadStateEvent(&events[1]), 0);
    EXPECT_EQ(KeReadStateEvent(&events[2]), 1) << "wait-any must not consume a second object";
}

TEST_F(DispatcherTest, WaitAllConsumesNothingUntilEveryObjectIsSignalled) {
    KEVENT event;
    KSEMAPHORE semaphore;
    KeInitializeEvent(&event, SynchronizationEvent, TRUE);
    KeInitializeSemaphore(&semaphore, 0, 1);
    PVOID objects[2] = {&event, &semaphore};
    LARGE_INTEGER zero = Relative(0);
    EXPECT_EQ(KeWaitForMultipleObjects(2, objects, WaitAll, Executive, KernelMode, FALSE, &zero,
                                       nullptr),
              STATUS_TIMEOUT);
    EXPECT_EQ(KeReadStateEvent(&event), 1);

    KeReleaseSemaphore(&semaphore, SEMAPHORE_INCREMENT, 1, FALSE);
    EXPECT_EQ(KeWaitForMultipleObjects(2, objects, WaitAll, Executive, KernelMode, FALSE, &zero,
                                       nullptr),
              STATUS_WAIT_0);
    EXPECT_EQ(KeReadStateEvent(&event), 0);
    EXPECT_EQ(KeReadStateSemaphore(&semaphore), 0);
}

TEST_F(DispatcherTest, BlockedThreadWakesWhenTheTestSignals) {
    KEVENT event;
    KeInitializeEvent(&event, SynchronizationEvent, FALSE);
    std::atomic<NTSTATUS> result{-1};
    HANDLE thread = StartThread([&] {
        result = KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    });
    host::RunUntilIdle();  // returns with the thread blocked
    EXPECT_EQ(result.load(), -1);
    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    JoinThread(thread);
    EXPECT_EQ(result.load(), STATUS_SUCCESS);
    EXPECT_EQ(KeReadStateEvent(&event), 0) << "the woken wait must consume the event";
}

TEST_F(DispatcherTest, SynchronizationEventWakesOnlyTheEarliestWaiter) {
    KEVENT event;
    KeInitializeEvent(&event, SynchronizationEvent, FALSE);
    std::atomic<int> woken_first{0}, woken_second{0};
    HANDLE first = StartThread([&] {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
        woken_first = 1;
    });
    host::RunUntilIdle();
    HANDLE second = StartThread([&] {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
        woken_second = 1;
    });
    host::RunUntilIdle();

    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    host::RunUntilIdle();
    EXPECT_EQ(woken_first.load(), 1);
    EXPECT_EQ(woken_second.load(), 0);

    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    JoinThread(first);
    JoinThread(second);
    EXPECT_EQ(woken_second.load(), 1);
}

TEST_F(DispatcherTest, TimeOutFiresExactlyAtItsDeadlineOnTheManualClock) {
    struct Case {
        const char* reason;
        LARGE_INTEGER timeout;
    };
    const Case cases[] = {
        {"relative time-out (negative)", Relative(10 * host::kMillisecond)},
        {"absolute time-out (positive)", Absolute(kStart + 10 * host::kMillisecond)},
    };
    for (const Case& c : cases) {
        host::ResetHost();
        host::UseManualClock(kStart);
        KEVENT never;
        KeInitializeEvent(&never, NotificationEvent, FALSE);
        std::atomic<NTSTATUS> result{-1};
        std::atomic<LONGLONG> woke_at{0};
        LARGE_INTEGER timeout = c.timeout;
        HANDLE thread = StartThread([&] {
            result = KeWaitForSingleObject(&never, Executive, KernelMode, FALSE, &timeout);
            woke_at = host::Now();
        });
        host::AdvanceClock(10 * host::kMillisecond - 1);
        EXPECT_EQ(result.load(), -1) << c.reason << ": woke before the deadline";
        host::AdvanceClock(5 * host::kMillisecond);
        JoinThread(thread);
        EXPECT_EQ(result.load(), STATUS_TIMEOUT) << c.reason;
        EXPECT_EQ(woke_at.load(), kStart + 10 * host::kMillisecond) << c.reason;
    }
}

TEST_F(DispatcherTest, WaitAnyOnATimerAndAnEventReturnsWhicheverCameFirst) {
    KTIMER timer;
    KEVENT stop;
    KeInitializeTimer(&timer);
    KeInitializeEvent(&stop, NotificationEvent, FALSE);
    KeSetTimer(&timer, Relative(5 * host::kMillisecond), nullptr);
    std::atomic<NTSTATUS> result{-1};
    HANDLE thread = StartThread([&] {
        PVOID objects[2] = {&stop, &timer};
        result = KeWaitForMultipleObjects(2, objects, WaitAny, Executive, KernelMode, FALSE,
                                          nullptr, nullptr);
    });
    host::AdvanceClock(5 * host::kMillisecond);
    JoinThread(thread);
    EXPECT_EQ(result.load(), STATUS_WAIT_0 + 1);
    EXPECT_TRUE(KeReadStateTimer(&timer));
}

TEST_F(DispatcherTest, DelayExecutionFollowsTheManualClock) {
    std::atomic<LONGLONG> woke_at{0};
    HANDLE thread = StartThread([&] {
        LARGE_INTEGER interval = Relative(3 * host::kMillisecond);
        KeDelayExecutionThread(KernelMode, FALSE, &interval);
        woke_at = host::Now();
    });
    host::AdvanceClock(2 * host::kMillisecond);
    EXPECT_EQ(woke_at.load(), 0);
    host::AdvanceClock(2 * host::kMillisecond);
    JoinThread(thread);
    EXPECT_EQ(woke_at.load(), kStart + 3 * host::kMillisecond);
}

TEST_F(DispatcherTest, ThreadObjectIsSignalledWhenTheThreadEnds) {
    KEVENT go;
    KeInitializeEvent(&go, NotificationEvent, FALSE);
    HANDLE handle = StartThread([&] {
        KeWaitForSingleObject(&go, Executive, KernelMode, FALSE, nullptr);
        PsTerminateSystemThread(STATUS_SUCCESS);
    });
    PVOID thread = nullptr;
    ASSERT_EQ(ObReferenceObjectByHandle(handle, SYNCHRONIZE, *PsThreadType, KernelMode, &thread,
                                        nullptr),
              STATUS_SUCCESS);
    host::RunUntilIdle();
    EXPECT_EQ(Poll(thread), STATUS_TIMEOUT);
    KeSetEvent(&go, IO_NO_INCREMENT, FALSE);
    EXPECT_EQ(KeWaitForSingleObject(thread, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(host::LiveSystemThreadCount(), 0u);
    ObDereferenceObject(thread);
    EXPECT_EQ(ZwClose(handle), STATUS_SUCCESS);
}

}  // namespace
}  // namespace host_test
