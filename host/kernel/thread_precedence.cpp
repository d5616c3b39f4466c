#include "host/kernel/thread_precedence.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace host::detail {
namespace {

// Nice values: lower runs first. The gaps keep DPCs ahead of work items, as on the platform.
int NiceValueFor(ExecutionContext context) {
    switch (context) {
    case ExecutionContext::TimerExpiry:
    case ExecutionContext::Dpc:
    case ExecutionContext::Device:
        return -15;
    case ExecutionContext::SystemWorker:
        return -8;
    }
    return 0;
}

}  // namespace

void TakePrecedenceOf(ExecutionContext context) {
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    // EPERM or EACCES without the privilege: the thread stays as it is.
    (void)setpriority(PRIO_PROCESS, thread, NiceValueFor(context));
}

}  // namespace host::detail
