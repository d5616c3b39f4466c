// Pool bookkeeping for tests: counters, the leak report and failure injection.
// Every ExAllocatePool* block is recorded with its tag and size until freed; the verifier's
// leak check (host/verifier/verifier.h) reads the same records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/kernel.h"

namespace host {

struct PoolCounters {
    uint64_t Allocations = 0;       // successful allocations
    uint64_t Frees = 0;
    uint64_t FailedAllocations = 0; // injected failures
    uint64_t BlocksInUse = 0;
    uint64_t BytesInUse = 0;
    uint64_t PeakBytesInUse = 0;
};
PoolCounters GetPoolCounters();

// Outstanding blocks grouped by tag and size, sorted by tag then size.
struct PoolLeak {
    ULONG Tag;
    SIZE_T Size;
    uint64_t Count;
};
std::vector<PoolLeak> PoolLeaks();
// "'VxDc' 4096 bytes x1, 'VxWk' 48 bytes x2" (tags printed in memory order, as the platform's
// debuggers do), or "" when nothing is outstanding.
std::string PoolLeakReport();
// Tag as its four characters in memory order ('kWxV' in source prints as "VxWk").
std::string PoolTagText(ULONG tag);

// Failure injection. The `n`th allocation from now fails (1 = the next one); one-shot.
void FailNthAllocation(uint64_t n);
// Every allocation matching both filters fails until cleared; size 0 or tag 0 match anything.
void FailAllocationsMatching(SIZE_T size, ULONG tag);
void ClearAllocationFailures();

}  // namespace host
