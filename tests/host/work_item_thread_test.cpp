// Work items, system threads and handles.
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "host/kernel/clock.h"
#include "host/kernel/handle_table.h"
#include "host/kernel/pool.h"
#include "kernel_fixture.h"
#include "kernel_threads.h"
#include "platform/kernel.h"

namespace host_test {
namespace {

using WorkItemTest = KernelTest;
using SystemThreadTest = KernelTest;

constexpr ULONG kWorkItemTag = 0x6B726F57;  // "Work"

struct WorkRecord {
    PIO_WORKITEM item = nullptr;
    std::mutex lock;
    std::vector<int> order;
    PDEVICE_OBJECT device_seen = nullptr;
    KIRQL irql_seen = HIGH_LEVEL;
    std::thread::id thread_seen;
};

struct WorkCall {
    WorkRecord* record;
    int index;
    bool free_item;
};

void NTAPI RecordWork(PDEVICE_OBJECT device, PVOID context) {
    auto* call = static_cast<WorkCall*>(context);
    WorkRecord* record = call->record;
    std::lock_guard<std::mutex> guard(record->lock);
    record->order.push_back(call->index);
    record->device_seen = device;
    record->irql_seen = KeGetCurrentIrql();
    record->thread_seen = std::this_thread::get_id();
    if (call->free_item) IoFreeWorkItem(record->item);
}

TEST_F(WorkItemTest, RoutineRunsOnAWorkerAtPassiveLevelAndMayFreeItsItem) {
    DEVICE_OBJECT device{};
    WorkRecord record;
    record.item = IoAllocateWorkItem(&device);
    ASSERT_NE(record.item, nullptr);
    WorkCall call{&record, 7, true};
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);  // queued from a DPC-like context
    IoQueueWorkItem(record.item, RecordWork, DelayedWorkQueue, &call);
    KeLowerIrql(old);
    host::RunUntilIdle();
    EXPECT_EQ(record.order, std::vector<int>{7});
    EXPECT_EQ(record.device_seen, &device);
    EXPECT_EQ(record.irql_seen, PASSIVE_LEVEL);
    EXPECT_NE(record.thread_seen, std::this_thread::get_id());
    EXPECT_EQ(host::GetPoolCounters().BlocksInUse, 0u) << "the freed item must leave no pool";
}

TEST_F(WorkItemTest, ItemsOfOneQueueRunInQueueOrder) {
    DEVICE_OBJECT device{};
    WorkRecord record;
    PIO_WORKITEM items[10];
    WorkCall calls[10];
    for (int i = 0; i < 10; ++i) {
        items[i] = IoAllocateWorkItem(&device);
        calls[i] = WorkCall{&record, i, false};
        IoQueueWorkItem(items[i], RecordWork, CriticalWorkQueue, &calls[i]);
    }
    host::RunUntilIdle();
    EXPECT_EQ(record.order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    for (PIO_WORKITEM item : items) IoFreeWorkItem(item);
}

TEST_F(WorkItemTest, AllocationFailsWhenItsPoolAllocationIsMadeToFail) {
    DEVICE_OBJECT device{};
    host::FailAllocationsMatching(0, kWorkItemTag);
    EXPECT_EQ(IoAllocateWorkItem(&device), nullptr);
    host::ClearAllocationFailures();
    PIO_WORKITEM item = IoAllocateWorkItem(&device);
    EXPECT_NE(item, nullptr);
    IoFreeWorkItem(item);
}

void NTAPI WaitForEvent(PDEVICE_OBJECT, PVOID context) {
    KeWaitForSingleObject(context, Executive, KernelMode, FALSE, nullptr);
}

TEST_F(WorkItemTest, WorkItemBlockedInAWaitCountsAsIdle) {
    DEVICE_OBJECT device{};
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    PIO_WORKITEM item = IoAllocateWorkItem(&device);
    IoQueueWorkItem(item, WaitForEvent, DelayedWorkQueue, &event);
    host::RunUntilIdle();  // must return although the item has not finished
    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    host::RunUntilIdle();
    IoFreeWorkItem(item);
}

TEST_F(SystemThreadTest, TerminateEndsTheThreadWhereItIsCalled) {
    std::atomic<int> reached{0};
    HANDLE handle = StartThread([&] {
        reached = 1;
        PsTerminateSystemThread(STATUS_SUCCESS);
        reached = 2;
    });
    JoinThread(handle);
    EXPECT_EQ(reached.load(), 1);
    EXPECT_EQ(host::LiveSystemThreadCount(), 0u);
    EXPECT_EQ(host::OpenHandleCount(), 0u);
}

TEST_F(SystemThreadTest, ThreadRunsAtPassiveLevelAndCountsAsBusyUntilItBlocks) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    std::atomic<KIRQL> irql{HIGH_LEVEL};
    std::atomic<int> spins{0};
    HANDLE handle = StartThread([&] {
        irql = KeGetCurrentIrql();
        for (int i = 0; i < 1000; ++i) {
            ++spins;
            std::this_thread::yield();
        }
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    });
    host::RunUntilIdle();
    EXPECT_EQ(spins.load(), 1000) << "idle was reported while the thread was still running";
    EXPECT_EQ(irql.load(), PASSIVE_LEVEL);
    EXPECT_EQ(host::LiveSystemThreadCount(), 1u);
    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    JoinThread(handle);
}

TEST_F(SystemThreadTest, ReferenceByHandleChecksHandleAndType) {
    HANDLE thread = StartThread([] {});
    int key_object = 0;
    HANDLE key = host::CreateHandle(host::HandleKind::RegistryKey, &key_object, nullptr);
    struct Case {
        const char* reason;
        HANDLE handle;
        NTSTATUS expected;
    };
    const Case cases[] = {
        {"a thread handle yields its thread", thread, STATUS_SUCCESS},
        {"a key handle is not a thread", key, STATUS_OBJECT_TYPE_MISMATCH},
        {"a handle never opened", reinterpret_cast<HANDLE>(0x7FF0), STATUS_INVALID_HANDLE},
    };
    for (const Case& c : cases) {
        PVOID object = reinterpret_cast<PVOID>(1);
        EXPECT_EQ(ObReferenceObjectByHandle(c.handle, SYNCHRONIZE, *PsThreadType, KernelMode,
                                            &object, nullptr),
                  c.expected)
            << c.reason;
        if (NT_SUCCESS(c.expected)) {
            EXPECT_NE(object, nullptr);
            ObDereferenceObject(object);
        } else {
            EXPECT_EQ(object, nullptr) << c.reason;
        }
    }
    ZwClose(key);
    JoinThread(thread);
}

TEST_F(SystemThreadTest, ZwCloseRunsTheCloseCallbackOnceAndHandlesAreNotReused) {
    int closes = 0;
    int object = 0;
    HANDLE first = host::CreateHandle(host::HandleKind::File, &object, [&] { ++closes; });
    EXPECT_EQ(host::LookupHandle(first, host::HandleKind::File), &object);
    EXPECT_EQ(host::LookupHandle(first, host::HandleKind::RegistryKey), nullptr);
    EXPECT_EQ(ZwClose(first), STATUS_SUCCESS);
    EXPECT_EQ(closes, 1);
    HANDLE second = host::CreateHandle(host::HandleKind::File, &object, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(host::LookupHandle(first, host::HandleKind::File), nullptr);
    ZwClose(second);
}

}  // namespace
}  // namespace host_test
