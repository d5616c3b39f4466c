// Emulated IRQL: one value per thread. Threads start at PASSIVE_LEVEL; the host raises to
// DISPATCH_LEVEL for DPCs and transfer completions, and spin locks raise while held.
#include "host/verifier/thread_state.h"
#include "host/verifier/verifier.h"

namespace host::detail {

ThreadState& CurrentThreadState() {
    thread_local ThreadState state;
    return state;
}

}  // namespace host::detail

using host::detail::CurrentThreadState;

KIRQL KeGetCurrentIrql(void) { return CurrentThreadState().irql; }

KIRQL KfRaiseIrql(KIRQL NewIrql) {
    KIRQL current = CurrentThreadState().irql;
    if (NewIrql < current) {
        host::VerifierFault("KeRaiseIrql to IRQL %u from the higher IRQL %u", NewIrql, current);
    }
    CurrentThreadState().irql = NewIrql;
    return current;
}

void KfLowerIrql(KIRQL NewIrql) {
    host::detail::ThreadState& state = CurrentThreadState();
    if (NewIrql > state.irql) {
        host::VerifierFault("KeLowerIrql to IRQL %u from the lower IRQL %u", NewIrql, state.irql);
    }
    if (NewIrql < DISPATCH_LEVEL && state.spin_locks_held > 0) {
        host::VerifierFault("IRQL lowered to %u while holding %d spin lock(s)", NewIrql,
                            state.spin_locks_held);
    }
    state.irql = NewIrql;
}

KIRQL KeRaiseIrqlToDpcLevel(void) {
    KIRQL previous;
    KeRaiseIrql(DISPATCH_LEVEL, &previous);
    return previous;
}

namespace host {

AtIrql::AtIrql(KIRQL irql) : raised_(irql) { KeRaiseIrql(irql, &previous_); }

AtIrql::~AtIrql() {
    if (KeGetCurrentIrql() != raised_) {
        VerifierFault("driver code returned at IRQL %u instead of %u", KeGetCurrentIrql(),
                      raised_);
    }
    KeLowerIrql(previous_);
}

}  // namespace host
