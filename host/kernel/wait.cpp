// KeWaitForSingleObject, KeWaitForMultipleObjects and KeDelayExecutionThread on the dispatcher
// database. A wait is satisfied by whoever changes the state that satisfies it (a signaller, or
// the clock at the time-out), under the dispatcher lock, in the order the waits began.
#include <vector>

#include "host/kernel/clock.h"
#include "host/kernel/dispatcher.h"
#include "host/verifier/verifier.h"

namespace host::detail {

namespace {

struct Waiter {
    PVOID* objects = nullptr;
    ULONG count = 0;
    WAIT_TYPE type = WaitAny;
    LONGLONG deadline = kNoDeadline;
    bool counted = false;
    bool satisfied = false;
    NTSTATUS result = STATUS_TIMEOUT;
    std::condition_variable wake;
};

std::vector<Waiter*>& Waiters() {
    static auto* waiters = new std::vector<Waiter*>;
    return *waiters;
}

DISPATCHER_HEADER* HeaderOf(PVOID object) { return static_cast<DISPATCHER_HEADER*>(object); }

void CheckWaitable(PVOID object, const char* service) {
    if (object == nullptr) VerifierFault("%s on a null object", service);
    switch (HeaderOf(object)->Type) {
    case EventNotificationObject:
    case EventSynchronizationObject:
    case SemaphoreObject:
    case ThreadObject:
    case TimerNotificationObject:
    case TimerSynchronizationObject:
        return;
    default:
        VerifierFault("%s on %p, which is not an initialized dispatcher object", service, object);
    }
}

bool IsSignalled(PVOID object) { return HeaderOf(object)->SignalState > 0; }

// Synchronization events and timers auto-reset and semaphores count down when they satisfy a
// wait; notification objects and threads stay signalled.
void Consume(PVOID object) {
    DISPATCHER_HEADER* header = HeaderOf(object);
    switch (header->Type) {
    case EventSynchronizationObject:
    case TimerSynchronizationObject:
        header->SignalState = 0;
        break;
    case SemaphoreObject:
        --header->SignalState;
        break;
    default:
        break;
    }
}

bool TrySatisfy(Waiter& waiter) {
    if (waiter.type == WaitAny) {
        for (ULONG i = 0; i < waiter.count; ++i) {
            if (IsSignalled(waiter.objects[i])) {
                Consume(waiter.objects[i]);
                waiter.result = STATUS_WAIT_0 + static_cast<NTSTATUS>(i);
                return true;
            }
        }
        return false;
    }
    for (ULONG i = 0; i < waiter.count; ++i) {
        if (!IsSignalled(waiter.objects[i])) return false;
    }
    for (ULONG i = 0; i < waiter.count; ++i) Consume(waiter.objects[i]);
    waiter.result = STATUS_WAIT_0;
    return true;
}

void Release(Waiter& waiter, NTSTATUS result) {
    waiter.satisfied = true;
    waiter.result = result;
    if (waiter.counted) AddBusy();
    waiter.wake.notify_one();
}

LONGLONG DeadlineOf(const LARGE_INTEGER* timeout) {
    if (timeout == nullptr) return kNoDeadline;
    if (timeout->QuadPart < 0) return Now() - timeout->QuadPart;
    return HostTimeFromSystemTime(timeout->QuadPart);
}

void CheckWaitIrql(const LARGE_INTEGER* timeout, const char* service) {
    bool blocks = timeout == nullptr || timeout->QuadPart != 0;
    if (blocks && KeGetCurrentIrql() >= DISPATCH_LEVEL) {
        VerifierFault("%s waits at IRQL %u (DISPATCH_LEVEL or above): only a zero time-out is "
                      "allowed there", service, KeGetCurrentIrql());
    }
}

NTSTATUS Wait(ULONG count, PVOID* objects, WAIT_TYPE type, const LARGE_INTEGER* timeout,
              const char* service) {
    CheckWaitIrql(timeout, service);
    for (ULONG i = 0; i < count; ++i) CheckWaitable(objects[i], service);

    HostThread& self = CurrentHostThread();
    Guard guard(DispatcherLock());
    Waiter waiter;
    waiter.objects = objects;
    waiter.count = count;
    waiter.type = type;
    waiter.deadline = DeadlineOf(timeout);
    waiter.counted = self.counted;
    if (count > 0 && TrySatisfy(waiter)) return waiter.result;
    if (waiter.deadline <= Now()) return STATUS_TIMEOUT;

    Waiters().push_back(&waiter);
    if (waiter.counted) RemoveBusy();
    if (waiter.deadline != kNoDeadline) DeadlinesChanged();
    waiter.wake.wait(guard, [&] { return waiter.satisfied; });
    return waiter.result;
}

}  // namespace

void WakeSatisfiedWaiters() {
    std::vector<Waiter*>& waiters = Waiters();
    for (size_t i = 0; i < waiters.size();) {
        Waiter* waiter = waiters[i];
        if (waiter->count > 0 && TrySatisfy(*waiter)) {
            waiters.erase(waiters.begin() + static_cast<std::ptrdiff_t>(i));
            Release(*waiter, waiter->result);
        } else {
            ++i;
        }
    }
}

LONGLONG NextWaitDeadline() {
    LONGLONG next = kNoDeadline;
    for (const Waiter* waiter : Waiters()) next = std::min(next, waiter->deadline);
    return next;
}

void ExpireWaits(LONGLONG now) {
    std::vector<Waiter*>& waiters = Waiters();
    for (size_t i = 0; i < waiters.size();) {
        Waiter* waiter = waiters[i];
        if (waiter->deadline <= now) {
            waiters.erase(waiters.begin() + static_cast<std::ptrdiff_t>(i));
            Release(*waiter, STATUS_TIMEOUT);
        } else {
            ++i;
        }
    }
}

bool WaitObjectsIn(const void* begin, size_t size) {
    for (const Waiter* waiter : Waiters()) {
        for (ULONG i = 0; i < waiter->count; ++i) {
            if (InRange(waiter->objects[i], begin, size)) return true;
        }
    }
    return false;
}

}  // namespace host::detail

using namespace host::detail;

// Any thread at IRQL <= APC_LEVEL (DISPATCH_LEVEL with a zero time-out).
NTSTATUS KeWaitForSingleObject(PVOID Object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN,
                               PLARGE_INTEGER Timeout) {
    PVOID objects[1] = {Object};
    return Wait(1, objects, WaitAny, Timeout, "KeWaitForSingleObject");
}

// Any thread at IRQL <= APC_LEVEL (DISPATCH_LEVEL with a zero time-out).
NTSTATUS KeWaitForMultipleObjects(ULONG Count, PVOID Object[], WAIT_TYPE WaitType, KWAIT_REASON,
                                  KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER Timeout,
                                  PKWAIT_BLOCK WaitBlockArray) {
    if (Count == 0 || Count > MAXIMUM_WAIT_OBJECTS) {
        host::VerifierFault("KeWaitForMultipleObjects with %u objects (1 to %d allowed)", Count,
                            MAXIMUM_WAIT_OBJECTS);
    }
    if (Count > THREAD_WAIT_OBJECTS && WaitBlockArray == nullptr) {
        host::VerifierFault("KeWaitForMultipleObjects with %u objects and no wait block array",
                            Count);
    }
    return Wait(Count, Object, WaitType, Timeout, "KeWaitForMultipleObjects");
}

// Any thread at IRQL <= APC_LEVEL.
NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER Interval) {
    if (Interval == nullptr) host::VerifierFault("KeDelayExecutionThread without an interval");
    NTSTATUS status = Wait(0, nullptr, WaitAny, Interval, "KeDelayExecutionThread");
    return status == STATUS_TIMEOUT ? STATUS_SUCCESS : status;
}
