// The fault campaign: seeded streaming sessions through the host and the simulated camera in
// which device faults, allocation failures, cancellations, state and format changes, closes,
// concurrent property requests and a disconnect (with a new device afterwards) land at random
// points. After each session the invariants are checked: every read completed exactly once,
// no pool leak, no system thread left, frames delivered again after the faults, and every
// operation returned within a bound (a watchdog stops the process naming the seed otherwise).
// The verifier stays on throughout: a double completion or a wait at dispatch level stops the
// process. Free of GoogleTest so that bench/ can run the full campaign.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace campaign {

struct SessionResult {
    uint32_t Seed = 0;
    uint64_t Events = 0;                      // injected events of every kind
    std::map<std::string, uint64_t> ByKind;   // the same, per kind
    std::vector<std::string> Failures;        // broken invariants, one line each
    int64_t LongestOperation = 0;             // host time (100 ns) the slowest operation needed
};

struct SessionShape {
    int Events = 40;          // events injected before the recovery check
    int RecoveryPeriods = 40; // frame periods allowed for delivery to resume
};

// One whole session: fresh host, driver load, camera, stream, events, checks, unload.
SessionResult RunSession(uint32_t seed, const SessionShape& shape = SessionShape());

}  // namespace campaign
