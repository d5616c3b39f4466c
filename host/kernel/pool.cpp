// Pool: every block recorded with tag and size until freed; failure injection; counters.
#include "host/kernel/pool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#include "host/kernel/dispatcher.h"
#include "host/kernel/page_residency.h"
#include "host/verifier/verifier.h"

namespace host {

namespace {

constexpr UCHAR kFreedFill = 0xDD;  // a stale read of freed pool shows this pattern

struct Block {
    ULONG tag;
    SIZE_T size;
};

struct Pool {
    std::mutex lock;
    std::unordered_map<void*, Block> blocks;
    PoolCounters counters;
    uint64_t fail_countdown = 0;  // 0: off
    bool fail_matching = false;
    SIZE_T fail_size = 0;
    ULONG fail_tag = 0;
};

Pool& ThePool() {
    static auto* pool = new Pool;
    return *pool;
}

// Pool lock held.
bool ShouldFail(Pool& pool, SIZE_T size, ULONG tag) {
    if (pool.fail_countdown > 0 && --pool.fail_countdown == 0) return true;
    return pool.fail_matching && (pool.fail_size == 0 || pool.fail_size == size) &&
           (pool.fail_tag == 0 || pool.fail_tag == tag);
}

void CheckPoolIrql(POOL_TYPE type) {
    KIRQL irql = KeGetCurrentIrql();
    if (irql > DISPATCH_LEVEL || (type == PagedPool && irql > APC_LEVEL)) {
        VerifierFault("%s pool used at IRQL %u", type == PagedPool ? "paged" : "non-paged", irql);
    }
}

}  // namespace

PoolCounters GetPoolCounters() {
    std::lock_guard<std::mutex> guard(ThePool().lock);
    return ThePool().counters;
}

std::vector<PoolLeak> PoolLeaks() {
    std::map<std::pair<ULONG, SIZE_T>, uint64_t> grouped;
    {
        std::lock_guard<std::mutex> guard(ThePool().lock);
        for (const auto& [address, block] : ThePool().blocks) ++grouped[{block.tag, block.size}];
    }
    std::vector<PoolLeak> leaks;
    for (const auto& [key, count] : grouped) leaks.push_back({key.first, key.second, count});
    std::sort(leaks.begin(), leaks.end(), [](const PoolLeak& a, const PoolLeak& b) {
        std::string ta = PoolTagText(a.Tag), tb = PoolTagText(b.Tag);
        return ta != tb ? ta < tb : a.Size < b.Size;
    });
    return leaks;
}

std::string PoolTagText(ULONG tag) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>((tag >> (8 * i)) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '.';
    }
    return text;
}

std::string PoolLeakReport() {
    std::string report;
    for (const PoolLeak& leak : PoolLeaks()) {
        if (!report.empty()) report += ", ";
        report += "'" + PoolTagText(leak.Tag) + "' " + std::to_string(leak.Size) + " bytes x" +
                  std::to_string(leak.Count);
    }
    return report;
}

void FailNthAllocation(uint64_t n) {
    std::lock_guard<std::mutex> guard(ThePool().lock);
    ThePool().fail_countdown = n;
}

void FailAllocationsMatching(SIZE_T size, ULONG tag) {
    std::lock_guard<std::mutex> guard(ThePool().lock);
    ThePool().fail_matching = true;
    ThePool().fail_size = size;
    ThePool().fail_tag = tag;
}

void ClearAllocationFailures() {
    std::lock_guard<std::mutex> guard(ThePool().lock);
    ThePool().fail_countdown = 0;
    ThePool().fail_matching = false;
}

namespace detail {

void ResetPool() {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    for (auto& [address, block] : pool.blocks) std::free(address);
    pool.blocks.clear();
    pool.counters = PoolCounters{};
    pool.fail_countdown = 0;
    pool.fail_matching = false;
}

}  // namespace detail

}  // namespace host

// Any IRQL up to DISPATCH_LEVEL (paged pool: up to APC_LEVEL). Blocks come from malloc at
// their exact size, so AddressSanitizer sees overruns of the block itself, and are made
// resident before they are returned, as the platform's pool is: the first write to a frame
// buffer must not cost a page fault per page inside the frame path.
PVOID ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag) {
    host::CheckPoolIrql(PoolType);
    host::Pool& pool = host::ThePool();
    void* block;
    {
        std::lock_guard<std::mutex> guard(pool.lock);
        if (host::ShouldFail(pool, NumberOfBytes, Tag)) {
            ++pool.counters.FailedAllocations;
            return nullptr;
        }
        block = std::malloc(NumberOfBytes == 0 ? 1 : NumberOfBytes);
        if (block == nullptr) return nullptr;
        pool.blocks.emplace(block, host::Block{Tag, NumberOfBytes});
        host::PoolCounters& counters = pool.counters;
        ++counters.Allocations;
        ++counters.BlocksInUse;
        counters.BytesInUse += NumberOfBytes;
        counters.PeakBytesInUse = std::max(counters.PeakBytesInUse, counters.BytesInUse);
    }
    // Outside the pool lock: populating megabytes takes a while, and nobody else knows the
    // block yet.
    host::MakeResident(block, NumberOfBytes);
    return block;
}

PVOID ExAllocatePool(POOL_TYPE PoolType, SIZE_T NumberOfBytes) {
    return ExAllocatePoolWithTag(PoolType, NumberOfBytes, 0x656E6F4E);  // "None"
}

namespace {

void FreeBlock(PVOID P, bool check_tag, ULONG tag, const char* service) {
    host::Pool& pool = host::ThePool();
    SIZE_T size;
    {
        std::lock_guard<std::mutex> guard(pool.lock);
        auto it = pool.blocks.find(P);
        if (it == pool.blocks.end()) {
            host::VerifierFault("%s of %p, which is not an allocated pool block (freed twice?)",
                                service, P);
        }
        if (check_tag && it->second.tag != tag) {
            host::VerifierFault("%s of a '%s' block with tag '%s'", service,
                                host::PoolTagText(it->second.tag).c_str(),
                                host::PoolTagText(tag).c_str());
        }
        size = it->second.size;
    }
    host::detail::CheckNoActiveObjectsIn(P, size);
    {
        std::lock_guard<std::mutex> guard(pool.lock);
        pool.blocks.erase(P);
        ++pool.counters.Frees;
        --pool.counters.BlocksInUse;
        pool.counters.BytesInUse -= size;
    }
    std::memset(P, host::kFreedFill, size);
    std::free(P);
}

}  // namespace

// Any IRQL up to DISPATCH_LEVEL.
void ExFreePool(PVOID P) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "ExFreePool");
    FreeBlock(P, false, 0, "ExFreePool");
}

// Any IRQL up to DISPATCH_LEVEL.
void ExFreePoolWithTag(PVOID P, ULONG Tag) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "ExFreePoolWithTag");
    FreeBlock(P, true, Tag, "ExFreePoolWithTag");
}
