// DPCs: one queue, drained in order by a single DPC thread at DISPATCH_LEVEL, so DPCs never run
// concurrently with each other (as on a one-processor machine).
#include <deque>
#include <thread>

#include "host/kernel/dispatcher.h"
#include "host/kernel/thread_precedence.h"
#include "host/verifier/verifier.h"

namespace host::detail {

namespace {

struct QueuedDpc {
    PKDPC dpc;
    uint64_t sequence;
};

struct DpcQueue {
    std::deque<QueuedDpc> queue;
    uint64_t next_sequence = 1;
    uint64_t running_sequence = 0;  // 0: none running
    bool thread_started = false;
    std::condition_variable queued;  // the DPC thread's own wake-up: only queuing concerns it
};

DpcQueue& Dpcs() {
    static auto* dpcs = new DpcQueue;
    return *dpcs;
}

// Marks a DPC as queued; the platform keeps a pointer to per-processor data there.
PVOID QueuedMark() {
    static int mark;
    return &mark;
}

void RunOneDpc(Guard& guard) {
    DpcQueue& dpcs = Dpcs();
    QueuedDpc next = dpcs.queue.front();
    dpcs.queue.pop_front();
    dpcs.running_sequence = next.sequence;
    PKDPC dpc = next.dpc;
    dpc->DpcData = nullptr;
    PKDEFERRED_ROUTINE routine = dpc->DeferredRoutine;
    PVOID context = dpc->DeferredContext;
    PVOID argument1 = dpc->SystemArgument1;
    PVOID argument2 = dpc->SystemArgument2;
    guard.unlock();

    // The routine may free or requeue its own DPC: nothing below touches it.
    KIRQL previous;
    KeRaiseIrql(DISPATCH_LEVEL, &previous);
    routine(dpc, context, argument1, argument2);
    if (KeGetCurrentIrql() != DISPATCH_LEVEL) {
        VerifierFault("DPC routine %p returned at IRQL %u instead of DISPATCH_LEVEL",
                      reinterpret_cast<void*>(routine), KeGetCurrentIrql());
    }
    KeLowerIrql(previous);

    guard.lock();
    dpcs.running_sequence = 0;
    RemoveBusy();
    DispatcherChanged().notify_all();
}

void DpcThreadMain() {
    TakePrecedenceOf(ExecutionContext::Dpc);
    CurrentHostThread().counted = true;  // while a DPC runs; the queue entry holds the unit
    Guard guard(DispatcherLock());
    for (;;) {
        Dpcs().queued.wait(guard, [] { return !Dpcs().queue.empty(); });
        RunOneDpc(guard);
    }
}

}  // namespace

bool QueueDpcLocked(PKDPC dpc, PVOID argument1, PVOID argument2) {
    DpcQueue& dpcs = Dpcs();
    if (dpc->DpcData != nullptr) return false;
    dpc->DpcData = QueuedMark();
    dpc->SystemArgument1 = argument1;
    dpc->SystemArgument2 = argument2;
    dpcs.queue.push_back({dpc, dpcs.next_sequence++});
    AddBusy();
    if (!dpcs.thread_started) {
        dpcs.thread_started = true;
        std::thread(DpcThreadMain).detach();
    }
    dpcs.queued.notify_one();
    DispatcherChanged().notify_all();
    return true;
}

size_t QueuedDpcCount() { return Dpcs().queue.size(); }

bool DpcsIn(const void* begin, size_t size) {
    for (const QueuedDpc& queued : Dpcs().queue) {
        if (InRange(queued.dpc, begin, size)) return true;
    }
    return false;
}

void ResetDpcs(Guard& guard) {
    DpcQueue& dpcs = Dpcs();
    DispatcherChanged().wait(guard, [&] { return dpcs.running_sequence == 0; });
    while (!dpcs.queue.empty()) {
        dpcs.queue.front().dpc->DpcData = nullptr;
        dpcs.queue.pop_front();
        RemoveBusy();
    }
}

}  // namespace host::detail

using namespace host::detail;

// Any IRQL.
void KeInitializeDpc(PRKDPC Dpc, PKDEFERRED_ROUTINE DeferredRoutine, PVOID DeferredContext) {
    Dpc->Type = 19;  // the platform's DpcObject
    Dpc->Importance = 1;
    Dpc->Number = 0;
    InitializeListHead(&Dpc->DpcListEntry);
    Dpc->DeferredRoutine = DeferredRoutine;
    Dpc->DeferredContext = DeferredContext;
    Dpc->SystemArgument1 = nullptr;
    Dpc->SystemArgument2 = nullptr;
    Dpc->DpcData = nullptr;
}

// Any IRQL.
BOOLEAN KeInsertQueueDpc(PRKDPC Dpc, PVOID SystemArgument1, PVOID SystemArgument2) {
    if (Dpc->DeferredRoutine == nullptr) host::VerifierFault("KeInsertQueueDpc of an uninitialized DPC");
    Guard guard(DispatcherLock());
    return QueueDpcLocked(Dpc, SystemArgument1, SystemArgument2) ? TRUE : FALSE;
}

// Any IRQL.
BOOLEAN KeRemoveQueueDpc(PRKDPC Dpc) {
    Guard guard(DispatcherLock());
    auto& queue = Dpcs().queue;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (it->dpc == Dpc) {
            queue.erase(it);
            Dpc->DpcData = nullptr;
            RemoveBusy();
            return TRUE;
        }
    }
    return FALSE;
}

// PASSIVE_LEVEL. Waits for the DPCs queued before the call, not for ones queued after it.
void KeFlushQueuedDpcs(void) {
    host::VerifyPassiveLevel("KeFlushQueuedDpcs");
    Guard guard(DispatcherLock());
    DpcQueue& dpcs = Dpcs();
    uint64_t last = dpcs.next_sequence - 1;
    DispatcherChanged().wait(guard, [&] {
        bool queued_done = dpcs.queue.empty() || dpcs.queue.front().sequence > last;
        bool running_done = dpcs.running_sequence == 0 || dpcs.running_sequence > last;
        return queued_done && running_done;
    });
}
