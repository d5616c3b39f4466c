// Pool records, failure injection and the leak report.
#include <vector>

#include "host/kernel/host_reset.h"
#include "host/kernel/page_residency.h"
#include "host/kernel/pool.h"
#include "kernel_fixture.h"
#include "platform/kernel.h"

namespace host_test {
namespace {

using PoolTest = KernelTest;

constexpr ULONG kTagA = 0x41617856;  // "VxaA"
constexpr ULONG kTagB = 0x42627856;  // "VxbB"

struct Request {
    SIZE_T size;
    ULONG tag;
};

// Allocates each request in turn; returns which ones failed, and frees the rest.
std::vector<bool> FailedOf(const std::vector<Request>& requests) {
    std::vector<bool> failed;
    std::vector<PVOID> blocks;
    for (const Request& r : requests) {
        PVOID block = ExAllocatePoolWithTag(NonPagedPool, r.size, r.tag);
        failed.push_back(block == nullptr);
        if (block != nullptr) blocks.push_back(block);
    }
    for (PVOID block : blocks) ExFreePool(block);
    return failed;
}

TEST_F(PoolTest, InjectedFailuresHitExactlyTheChosenAllocations) {
    const std::vector<Request> requests = {
        {64, kTagA}, {128, kTagA}, {64, kTagB}, {128, kTagB}, {64, kTagA}};
    struct Case {
        const char* reason;
        uint64_t nth;  // 0: none
        SIZE_T size;
        ULONG tag;
        bool matching;
        std::vector<bool> expected;
    };
    const Case cases[] = {
        {"no injection", 0, 0, 0, false, {false, false, false, false, false}},
        {"the next allocation", 1, 0, 0, false, {true, false, false, false, false}},
        {"the third from now, once", 3, 0, 0, false, {false, false, true, false, false}},
        {"every block of one size", 0, 64, 0, true, {true, false, true, false, true}},
        {"every block of one tag", 0, 0, kTagB, true, {false, false, true, true, false}},
        {"size and tag together", 0, 64, kTagA, true, {true, false, false, false, true}},
    };
    for (const Case& c : cases) {
        host::ClearAllocationFailures();
        if (c.nth != 0) host::FailNthAllocation(c.nth);
        if (c.matching) host::FailAllocationsMatching(c.size, c.tag);
        EXPECT_EQ(FailedOf(requests), c.expected) << c.reason;
    }
}

TEST_F(PoolTest, CountersFollowAllocationsFreesAndFailures) {
    PVOID a = ExAllocatePoolWithTag(NonPagedPool, 100, kTagA);
    PVOID b = ExAllocatePoolWithTag(NonPagedPool, 300, kTagB);
    ExFreePoolWithTag(a, kTagA);
    host::FailNthAllocation(1);
    EXPECT_EQ(ExAllocatePool(NonPagedPool, 10), nullptr);
    host::PoolCounters counters = host::GetPoolCounters();
    EXPECT_EQ(counters.Allocations, 2u);
    EXPECT_EQ(counters.Frees, 1u);
    EXPECT_EQ(counters.FailedAllocations, 1u);
    EXPECT_EQ(counters.BlocksInUse, 1u);
    EXPECT_EQ(counters.BytesInUse, 300u);
    EXPECT_EQ(counters.PeakBytesInUse, 400u);
    ExFreePool(b);
}

TEST_F(PoolTest, BlocksAreResidentBeforeTheDriverFirstWritesThem) {
    struct Case {
        const char* reason;
        SIZE_T size;
    };
    const Case cases[] = {
        {"a few pages, written page by page", 3 * 4096 + 100},
        {"a raw frame, populated in one call", 2048 * 1536},
        {"a transfer buffer", 512 * 1024},
    };
    for (const Case& c : cases) {
        PVOID block = ExAllocatePoolWithTag(NonPagedPool, c.size, kTagA);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(host::PagesNotResident(block, c.size), 0u) << c.reason;
        ExFreePool(block);
    }
}

TEST_F(PoolTest, LeakReportGroupsOutstandingBlocksByTagAndSize) {
    EXPECT_EQ(host::PoolLeakReport(), "");
    PVOID blocks[] = {
        ExAllocatePoolWithTag(NonPagedPool, 48, kTagB),
        ExAllocatePoolWithTag(NonPagedPool, 4096, kTagA),
        ExAllocatePoolWithTag(NonPagedPool, 48, kTagB),
    };
    EXPECT_EQ(host::PoolLeakReport(), "'VxaA' 4096 bytes x1, 'VxbB' 48 bytes x2");
    for (PVOID block : blocks) ExFreePool(block);
    EXPECT_EQ(host::PoolLeakReport(), "");
}

TEST_F(PoolTest, ResetForgetsOutstandingBlocksAndInjection) {
    ExAllocatePoolWithTag(NonPagedPool, 16, kTagA);  // deliberately left outstanding
    host::FailAllocationsMatching(0, 0);
    host::ResetHost();
    EXPECT_EQ(host::GetPoolCounters().BlocksInUse, 0u);
    PVOID block = ExAllocatePool(NonPagedPool, 8);
    EXPECT_NE(block, nullptr);
    ExFreePool(block);
}

TEST_F(PoolTest, RtlMemoryRoutinesHandleOverlapAndReportTheEqualPrefix) {
    UCHAR bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const UCHAR moved[8] = {1, 2, 1, 2, 3, 4, 7, 8};
    const UCHAR filled[4] = {0xAB, 0xAB, 0xAB, 9};
    RtlMoveMemory(bytes + 2, bytes, 4);
    EXPECT_EQ(RtlCompareMemory(bytes, moved, 8), 8u);
    RtlFillMemory(bytes, 3, 0xAB);
    EXPECT_EQ(RtlCompareMemory(bytes, filled, 4), 3u);
    RtlZeroMemory(bytes, sizeof bytes);
    EXPECT_EQ(bytes[7], 0);
}

TEST_F(PoolTest, InterlockedOperationsReturnThePlatformsValues) {
    volatile LONG value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&value, 3), 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 0), 12) << "mismatch leaves the value";
    EXPECT_EQ(value, 12);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 12), 12);
    EXPECT_EQ(value, 1);
    int a = 0, b = 0;
    PVOID volatile pointer = &a;
    EXPECT_EQ(InterlockedExchangePointer(&pointer, &b), &a);
    EXPECT_EQ(InterlockedCompareExchangePointer(&pointer, &a, &a), &b);
    EXPECT_EQ(pointer, &b);
}

}  // namespace
}  // namespace host_test
