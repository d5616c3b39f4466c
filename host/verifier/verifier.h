// The verifier: faults the real kernel would turn into a crash (or silent corruption) stop the
// host process at once with one line on stderr, "vexacam verifier: <fault>", and abort. It is
// always on. The kernel executive checks its own calls (waiting at DISPATCH_LEVEL, spin lock
// misuse, IRQL misuse, double frees); the rest of the host calls the checks below.
#pragma once

#include "platform/kernel.h"

namespace host {

// Stops the process: prints "vexacam verifier: " + the formatted message + newline to stderr.
[[noreturn]] void VerifierFault(const char* format, ...) __attribute__((format(printf, 1, 2)));

// For services the platform allows only at PASSIVE_LEVEL (synchronous USB requests, registry
// and file calls): call at the top with the service's name, e.g. VerifyPassiveLevel("ZwOpenKey").
void VerifyPassiveLevel(const char* service);
// For services callable up to a given IRQL (most of them: DISPATCH_LEVEL).
void VerifyIrqlAtMost(KIRQL highest, const char* service);

// Request (SRB, IRP) tracking for the framework and the USB stack.
// VerifierRequestStarted: the request is handed to the driver (live again if its memory is
//   reused for a new request). Requests never started count as live.
// VerifierRequestCompleted: the driver completes it; faults if it was already completed.
// VerifierCheckRequestLive: the driver touches it (notification, status...); faults if completed.
// VerifierForgetRequest: its memory is freed.
void VerifierRequestStarted(const void* request);
void VerifierRequestCompleted(const void* request, const char* what);
void VerifierCheckRequestLive(const void* request, const char* what);
void VerifierForgetRequest(const void* request);

// At driver unload: faults naming every outstanding pool block by tag and size.
void VerifierCheckNoLeaks(const char* when);

// Host code that calls into the driver at a given IRQL (DPC-like callbacks, transfer
// completions at DISPATCH_LEVEL) raises for the call's duration:
//     { host::AtIrql dispatch(DISPATCH_LEVEL); CompletionRoutine(...); }
// The destructor checks the driver left the IRQL as it found it.
class AtIrql {
public:
    explicit AtIrql(KIRQL irql);
    ~AtIrql();
    AtIrql(const AtIrql&) = delete;
    AtIrql& operator=(const AtIrql&) = delete;

private:
    KIRQL raised_;
    KIRQL previous_;
};

}  // namespace host
