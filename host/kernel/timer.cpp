// One-shot timers: a list sorted by due time (equal times in the order they were set), fired by
// the clock (host/kernel/clock.cpp) at their due time.
#include "host/kernel/clock.h"
#include "host/kernel/dispatcher.h"
#include "host/verifier/verifier.h"

namespace host::detail {

namespace {

LIST_ENTRY& TimerList() {
    static LIST_ENTRY* list = [] {
        auto* head = new LIST_ENTRY;
        InitializeListHead(head);
        return head;
    }();
    return *list;
}

void InsertByDueTime(PKTIMER timer) {
    LIST_ENTRY& list = TimerList();
    PLIST_ENTRY after = list.Blink;
    while (after != &list && CONTAINING_RECORD(after, KTIMER, TimerListEntry)->DueTime >
                                 timer->DueTime) {
        after = after->Blink;
    }
    InsertHeadList(after, &timer->TimerListEntry);
}

void CheckTimer(PKTIMER timer, const char* service) {
    if (timer == nullptr || (timer->Header.Type != TimerNotificationObject &&
                             timer->Header.Type != TimerSynchronizationObject)) {
        VerifierFault("%s on %p, which is not an initialized timer", service,
                      static_cast<void*>(timer));
    }
}

}  // namespace

LONGLONG NextTimerDeadline() {
    LIST_ENTRY& list = TimerList();
    if (IsListEmpty(&list)) return kNoDeadline;
    return static_cast<LONGLONG>(CONTAINING_RECORD(list.Flink, KTIMER, TimerListEntry)->DueTime);
}

void ExpireTimers(LONGLONG now) {
    LIST_ENTRY& list = TimerList();
    while (!IsListEmpty(&list)) {
        PKTIMER timer = CONTAINING_RECORD(list.Flink, KTIMER, TimerListEntry);
        if (static_cast<LONGLONG>(timer->DueTime) > now) break;
        RemoveEntryList(&timer->TimerListEntry);
        timer->Header.Inserted = 0;
        timer->Header.SignalState = 1;
        WakeSatisfiedWaiters();
        if (timer->Dpc != nullptr) {
            LARGE_INTEGER fired;
            fired.QuadPart = now;
            QueueDpcLocked(timer->Dpc, reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(fired.u.LowPart)),
                           reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(fired.u.HighPart)));
        }
    }
}

bool TimersIn(const void* begin, size_t size) {
    LIST_ENTRY& list = TimerList();
    for (PLIST_ENTRY entry = list.Flink; entry != &list; entry = entry->Flink) {
        if (InRange(CONTAINING_RECORD(entry, KTIMER, TimerListEntry), begin, size)) return true;
    }
    return false;
}

// The timers' memory may be gone already: only the list head is touched.
void ResetTimers() { InitializeListHead(&TimerList()); }

}  // namespace host::detail

using namespace host::detail;

// Any IRQL up to DISPATCH_LEVEL.
void KeInitializeTimer(PKTIMER Timer) {
    Timer->Header.Type = TimerNotificationObject;
    Timer->Header.Absolute = 0;
    Timer->Header.Size = sizeof(KTIMER) / sizeof(LONG);
    Timer->Header.Inserted = 0;
    Timer->Header.SignalState = 0;
    InitializeListHead(&Timer->Header.WaitListHead);
    Timer->DueTime = 0;
    InitializeListHead(&Timer->TimerListEntry);
    Timer->Dpc = nullptr;
    Timer->Period = 0;
}

// Any IRQL up to DISPATCH_LEVEL.
BOOLEAN KeSetTimer(PKTIMER Timer, LARGE_INTEGER DueTime, PKDPC Dpc) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeSetTimer");
    CheckTimer(Timer, "KeSetTimer");
    Guard guard(DispatcherLock());
    BOOLEAN was_set = Timer->Header.Inserted ? TRUE : FALSE;
    if (was_set) RemoveEntryList(&Timer->TimerListEntry);
    LONGLONG due = DueTime.QuadPart < 0 ? host::Now() - DueTime.QuadPart
                                        : host::HostTimeFromSystemTime(DueTime.QuadPart);
    Timer->DueTime = static_cast<ULONGLONG>(due);
    Timer->Dpc = Dpc;
    Timer->Header.Absolute = DueTime.QuadPart >= 0 ? 1 : 0;
    Timer->Header.SignalState = 0;
    Timer->Header.Inserted = 1;
    InsertByDueTime(Timer);
    DeadlinesChanged();
    return was_set;
}

// Any IRQL up to DISPATCH_LEVEL. A DPC the timer already queued is not removed.
BOOLEAN KeCancelTimer(PKTIMER Timer) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeCancelTimer");
    CheckTimer(Timer, "KeCancelTimer");
    Guard guard(DispatcherLock());
    if (!Timer->Header.Inserted) return FALSE;
    RemoveEntryList(&Timer->TimerListEntry);
    Timer->Header.Inserted = 0;
    return TRUE;
}

BOOLEAN KeReadStateTimer(PKTIMER Timer) {
    CheckTimer(Timer, "KeReadStateTimer");
    Guard guard(DispatcherLock());
    return Timer->Header.SignalState ? TRUE : FALSE;
}
