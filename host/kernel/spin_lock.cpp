// Spin locks: the lock word holds its owner's token (0 when free), so the verifier can tell a
// release by the wrong thread from a release of a lock nobody holds.
#include <thread>

#include "host/verifier/thread_state.h"
#include "host/verifier/verifier.h"

namespace {

ULONG_PTR OwnerToken() {
    return reinterpret_cast<ULONG_PTR>(&host::detail::CurrentThreadState()) | 1;
}

void Take(PKSPIN_LOCK lock, const char* service) {
    ULONG_PTR me = OwnerToken();
    if (__atomic_load_n(lock, __ATOMIC_RELAXED) == me) {
        host::VerifierFault("%s of a spin lock this thread already holds (deadlock)", service);
    }
    for (;;) {
        ULONG_PTR expected = 0;
        if (__atomic_compare_exchange_n(lock, &expected, me, false, __ATOMIC_ACQUIRE,
                                        __ATOMIC_RELAXED)) {
            break;
        }
        std::this_thread::yield();
    }
    ++host::detail::CurrentThreadState().spin_locks_held;
}

void Give(PKSPIN_LOCK lock, const char* service) {
    ULONG_PTR owner = __atomic_load_n(lock, __ATOMIC_RELAXED);
    if (owner == 0) host::VerifierFault("%s of a spin lock that is not held", service);
    if (owner != OwnerToken()) {
        host::VerifierFault("%s of a spin lock held by another thread", service);
    }
    --host::detail::CurrentThreadState().spin_locks_held;
    __atomic_store_n(lock, 0, __ATOMIC_RELEASE);
}

}  // namespace

// Any IRQL.
void KeInitializeSpinLock(PKSPIN_LOCK SpinLock) { __atomic_store_n(SpinLock, 0, __ATOMIC_RELAXED); }

// IRQL <= DISPATCH_LEVEL; raises to DISPATCH_LEVEL.
KIRQL KfAcquireSpinLock(PKSPIN_LOCK SpinLock) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "KeAcquireSpinLock");
    const KIRQL OldIrql = KfRaiseIrql(DISPATCH_LEVEL);
    Take(SpinLock, "KeAcquireSpinLock");
    return OldIrql;
}

// DISPATCH_LEVEL, holding the lock; returns to NewIrql.
void KfReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql) {
    Give(SpinLock, "KeReleaseSpinLock");
    KeLowerIrql(NewIrql);
}

// DISPATCH_LEVEL.
void KefAcquireSpinLockAtDpcLevel(PKSPIN_LOCK SpinLock) {
    if (KeGetCurrentIrql() < DISPATCH_LEVEL) {
        host::VerifierFault("KeAcquireSpinLockAtDpcLevel at IRQL %u, below DISPATCH_LEVEL",
                            KeGetCurrentIrql());
    }
    Take(SpinLock, "KeAcquireSpinLockAtDpcLevel");
}

// DISPATCH_LEVEL, holding the lock.
void KefReleaseSpinLockFromDpcLevel(PKSPIN_LOCK SpinLock) {
    Give(SpinLock, "KeReleaseSpinLockFromDpcLevel");
}
