// Stopping the process on a fault, IRQL checks and the leak check.
#include "host/verifier/verifier.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "host/kernel/pool.h"

namespace host {

void VerifierFault(const char* format, ...) {
    char message[1024];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    std::fprintf(stderr, "vexacam verifier: %s\n", message);
    std::fflush(stderr);
    std::abort();
}

void VerifyIrqlAtMost(KIRQL highest, const char* service) {
    KIRQL irql = KeGetCurrentIrql();
    if (irql > highest) {
        VerifierFault("%s called at IRQL %u (allowed up to %u)", service, irql, highest);
    }
}

void VerifyPassiveLevel(const char* service) {
    KIRQL irql = KeGetCurrentIrql();
    if (irql != PASSIVE_LEVEL) {
        VerifierFault("%s called at IRQL %u (PASSIVE_LEVEL only)", service, irql);
    }
}

void VerifierCheckNoLeaks(const char* when) {
    std::string report = PoolLeakReport();
    if (!report.empty()) VerifierFault("pool leaked at %s: %s", when, report.c_str());
}

}  // namespace host
