// Returning the host to its start state between tests.
#include "host/kernel/host_reset.h"

#include "host/files/file_faults.h"
#include "host/kernel/debug_log.h"
#include "host/kernel/dispatcher.h"
#include "host/kernel/processor_state.h"
#include "host/registry/registry_faults.h"
#include "host/verifier/thread_state.h"
#include "host/verifier/verifier.h"

namespace host::detail {
void ResetRequests();
void ClearObjectReferenceFailure();
}  // namespace host::detail

namespace host {

void ResetHost() {
    using namespace detail;
    size_t live = LiveSystemThreadCount();
    if (live != 0) VerifierFault("host reset with %zu system thread(s) still running", live);
    ResetClock();
    {
        Guard guard(DispatcherLock());
        ResetTimers();
        ResetDpcs(guard);
        ResetWorkItems(guard);
        ResetCallbacks(guard);
    }
    ResetHandles();
    ResetPool();
    ResetRequests();
    ClearDebugLog();
    ClearObjectReferenceFailure();
    ClearFileWriteFailure();
    FailRegistryValueWrites(false);
    ResetProcessorState();
    ThreadState& self = CurrentThreadState();
    self.irql = PASSIVE_LEVEL;
    self.spin_locks_held = 0;
}

}  // namespace host
