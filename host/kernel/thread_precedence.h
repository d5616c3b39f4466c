// Internal to host/kernel: the precedence of the host threads that stand for the platform's own
// execution contexts. There, timer expiry, DPCs and the bus's completions run ahead of every
// thread and the system worker threads above application threads, and a device keeps its own
// time; here those threads get a higher scheduling priority, so that a busy application does
// not delay them.
#pragma once

namespace host::detail {

enum class ExecutionContext {
    TimerExpiry,   // the clock thread that expires timers and queues their DPCs
    Dpc,           // the thread that runs DPCs
    SystemWorker,  // the threads of the work queues
    Device,        // the device's own timeline, with the bus completions it raises
};

// Raises the calling thread's priority for `context`. Without the privilege for it the thread
// keeps its priority: the host behaves the same, only with less margin under load.
void TakePrecedenceOf(ExecutionContext context);

}  // namespace host::detail
