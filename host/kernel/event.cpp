// Events and semaphores: signal states under the dispatcher lock.
#include "host/kernel/dispatcher.h"
#include "host/verifier/verifier.h"

using namespace host::detail;

namespace {

void CheckType(const DISPATCHER_HEADER* header, UCHAR a, UCHAR b, const char* service) {
    if (header == nullptr) host::VerifierFault("%s on a null object", service);
    if (header->Type != a && header->Type != b) {
        host::VerifierFault("%s on %p, which is not an initialized object of its kind", service,
                            static_cast<const void*>(header));
    }
}

void CheckEvent(PRKEVENT event, const char* service) {
    CheckType(&event->Header, EventNotificationObject, EventSynchronizationObject, service);
}

}  // namespace

// Any IRQL up to DISPATCH_LEVEL.
void KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State) {
    Event->Header.Type = Type == NotificationEvent ? EventNotificationObject
                                                   : EventSynchronizationObject;
    Event->Header.Absolute = 0;
    Event->Header.Size = sizeof(KEVENT) / sizeof(LONG);
    Event->Header.Inserted = 0;
    Event->Header.SignalState = State ? 1 : 0;
    InitializeListHead(&Event->Header.WaitListHead);
}

// Any IRQL up to DISPATCH_LEVEL.
LONG KeSetEvent(PRKEVENT Event, KPRIORITY, BOOLEAN) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeSetEvent");
    CheckEvent(Event, "KeSetEvent");
    Guard guard(DispatcherLock());
    LONG previous = Event->Header.SignalState;
    Event->Header.SignalState = 1;
    WakeSatisfiedWaiters();
    return previous;
}

// Any IRQL up to DISPATCH_LEVEL.
LONG KeResetEvent(PRKEVENT Event) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeResetEvent");
    CheckEvent(Event, "KeResetEvent");
    Guard guard(DispatcherLock());
    LONG previous = Event->Header.SignalState;
    Event->Header.SignalState = 0;
    return previous;
}

void KeClearEvent(PRKEVENT Event) { KeResetEvent(Event); }

LONG KeReadStateEvent(PRKEVENT Event) {
    CheckEvent(Event, "KeReadStateEvent");
    Guard guard(DispatcherLock());
    return Event->Header.SignalState;
}

// Any IRQL up to DISPATCH_LEVEL.
void KeInitializeSemaphore(PRKSEMAPHORE Semaphore, LONG Count, LONG Limit) {
    if (Count < 0 || Limit <= 0 || Count > Limit) {
        host::VerifierFault("KeInitializeSemaphore with count %d and limit %d", Count, Limit);
    }
    Semaphore->Header.Type = SemaphoreObject;
    Semaphore->Header.Absolute = 0;
    Semaphore->Header.Size = sizeof(KSEMAPHORE) / sizeof(LONG);
    Semaphore->Header.Inserted = 0;
    Semaphore->Header.SignalState = Count;
    InitializeListHead(&Semaphore->Header.WaitListHead);
    Semaphore->Limit = Limit;
}

// Any IRQL up to DISPATCH_LEVEL. The platform raises an exception when the count would pass
// the limit; a driver never expects that, so it is a verifier fault here.
LONG KeReleaseSemaphore(PRKSEMAPHORE Semaphore, KPRIORITY, LONG Adjustment, BOOLEAN) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeReleaseSemaphore");
    CheckType(&Semaphore->Header, SemaphoreObject, SemaphoreObject, "KeReleaseSemaphore");
    Guard guard(DispatcherLock());
    LONG previous = Semaphore->Header.SignalState;
    if (Adjustment <= 0 || Adjustment > Semaphore->Limit - previous) {
        host::VerifierFault("KeReleaseSemaphore by %d past the limit %d (count %d)", Adjustment,
                            Semaphore->Limit, previous);
    }
    Semaphore->Header.SignalState = previous + Adjustment;
    WakeSatisfiedWaiters();
    return previous;
}

LONG KeReadStateSemaphore(PRKSEMAPHORE Semaphore) {
    CheckType(&Semaphore->Header, SemaphoreObject, SemaphoreObject, "KeReadStateSemaphore");
    Guard guard(DispatcherLock());
    return Semaphore->Header.SignalState;
}
