// Work items: allocated from pool, run in queue order at PASSIVE_LEVEL on one worker thread per
// queue type (critical and delayed), so items of one queue never overlap.
#include <deque>
#include <thread>

#include "host/kernel/dispatcher.h"
#include "host/kernel/thread_precedence.h"
#include "host/verifier/verifier.h"

namespace {

constexpr ULONG kWorkItemTag = 0x6B726F57;  // "Work" in memory order
constexpr ULONG kLiveMagic = 0x4B524F57;
constexpr ULONG kFreedMagic = 0xDEADF00D;

}  // namespace

// Guarded by the dispatcher lock once allocated.
struct _IO_WORKITEM {
    ULONG Magic;
    BOOLEAN Queued;
    PDEVICE_OBJECT DeviceObject;
    PIO_WORKITEM_ROUTINE Routine;
    PVOID Context;
};

namespace host::detail {

namespace {

struct WorkQueue {
    std::deque<PIO_WORKITEM> items;
    bool running = false;
    bool thread_started = false;
    std::condition_variable queued;  // the queue's worker thread's own wake-up
};

WorkQueue* Queues() {
    static auto* queues = new WorkQueue[2];
    return queues;
}

WorkQueue& QueueFor(WORK_QUEUE_TYPE type) {
    return Queues()[type == DelayedWorkQueue ? 1 : 0];
}

void RunOneItem(WorkQueue& queue, Guard& guard) {
    PIO_WORKITEM item = queue.items.front();
    queue.items.pop_front();
    queue.running = true;
    item->Queued = FALSE;
    PDEVICE_OBJECT device = item->DeviceObject;
    PIO_WORKITEM_ROUTINE routine = item->Routine;
    PVOID context = item->Context;
    guard.unlock();

    // The routine may free or requeue its own item: nothing below touches it.
    routine(device, context);
    if (KeGetCurrentIrql() != PASSIVE_LEVEL) {
        VerifierFault("work item routine %p returned at IRQL %u instead of PASSIVE_LEVEL",
                      reinterpret_cast<void*>(routine), KeGetCurrentIrql());
    }

    guard.lock();
    queue.running = false;
    RemoveBusy();
    DispatcherChanged().notify_all();
}

void WorkerThreadMain(WorkQueue* queue) {
    TakePrecedenceOf(ExecutionContext::SystemWorker);
    CurrentHostThread().counted = true;  // while an item runs; the queue entry holds the unit
    Guard guard(DispatcherLock());
    for (;;) {
        queue->queued.wait(guard, [queue] { return !queue->items.empty(); });
        RunOneItem(*queue, guard);
    }
}

void CheckLiveItem(PIO_WORKITEM item, const char* service) {
    if (item == nullptr || item->Magic != kLiveMagic) {
        VerifierFault("%s on %p, which is not an allocated work item", service,
                      static_cast<void*>(item));
    }
}

}  // namespace

size_t QueuedWorkItemCount() { return Queues()[0].items.size() + Queues()[1].items.size(); }

void ResetWorkItems(Guard& guard) {
    for (int i = 0; i < 2; ++i) {
        WorkQueue& queue = Queues()[i];
        DispatcherChanged().wait(guard, [&] { return !queue.running; });
        while (!queue.items.empty()) {
            queue.items.front()->Queued = FALSE;
            queue.items.pop_front();
            RemoveBusy();
        }
    }
}

}  // namespace host::detail

using namespace host::detail;

// Any IRQL up to DISPATCH_LEVEL.
PIO_WORKITEM IoAllocateWorkItem(PDEVICE_OBJECT DeviceObject) {
    auto* item = static_cast<PIO_WORKITEM>(
        ExAllocatePoolWithTag(NonPagedPool, sizeof(IO_WORKITEM), kWorkItemTag));
    if (item == nullptr) return nullptr;
    item->Magic = kLiveMagic;
    item->Queued = FALSE;
    item->DeviceObject = DeviceObject;
    item->Routine = nullptr;
    item->Context = nullptr;
    return item;
}

// Any IRQL up to DISPATCH_LEVEL. Queuing an item that is still queued corrupts the platform's
// work queue, so it is a verifier fault here.
void IoQueueWorkItem(PIO_WORKITEM IoWorkItem, PIO_WORKITEM_ROUTINE WorkerRoutine,
                     WORK_QUEUE_TYPE QueueType, PVOID Context) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "IoQueueWorkItem");
    CheckLiveItem(IoWorkItem, "IoQueueWorkItem");
    Guard guard(DispatcherLock());
    if (IoWorkItem->Queued) host::VerifierFault("IoQueueWorkItem of a work item already queued");
    IoWorkItem->Queued = TRUE;
    IoWorkItem->Routine = WorkerRoutine;
    IoWorkItem->Context = Context;
    WorkQueue& queue = QueueFor(QueueType);
    queue.items.push_back(IoWorkItem);
    AddBusy();
    if (!queue.thread_started) {
        queue.thread_started = true;
        std::thread(WorkerThreadMain, &queue).detach();
    }
    queue.queued.notify_one();
    DispatcherChanged().notify_all();
}

// Any IRQL up to DISPATCH_LEVEL; the item's own routine may free it.
void IoFreeWorkItem(PIO_WORKITEM IoWorkItem) {
    CheckLiveItem(IoWorkItem, "IoFreeWorkItem");
    {
        Guard guard(DispatcherLock());
        if (IoWorkItem->Queued) host::VerifierFault("IoFreeWorkItem of a work item still queued");
        IoWorkItem->Magic = kFreedMagic;
    }
    ExFreePoolWithTag(IoWorkItem, kWorkItemTag);
}
