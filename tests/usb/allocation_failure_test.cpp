// Every allocation that bring-up makes may fail: initialization must then report an error and
// give back everything it took, whichever allocation it was.
#include <gtest/gtest.h>

#include "host/kernel/pool.h"
#include "imaging/pipeline_tables.h"
#include "tests/usb/camera_fixture.h"
#include "usb/pool_tags.h"

namespace usb_test {
namespace {

bool NothingAllocated(const DeviceContext& d) {
    for (const TransferSlot& slot : d.TransferSlots) {
        if (slot.Irp || slot.Urb || slot.StackLocation || slot.Buffer) return false;
    }
    for (PUCHAR frame : d.RawFrames) {
        if (frame) return false;
    }
    return !d.Pipeline.GainMap && !d.Pipeline.RedGain && !d.Pipeline.GreenGain && !d.Pipeline.BlueGain && !d.Pipeline.ToneTable && !d.Pipeline.LogTable &&
           !d.Pipeline.GammaTable;
}

bool EverythingAllocated(const DeviceContext& d) {
    for (const TransferSlot& slot : d.TransferSlots) {
        if (!slot.Irp || !slot.Urb || !slot.StackLocation || !slot.Buffer) return false;
    }
    for (PUCHAR frame : d.RawFrames) {
        if (!frame) return false;
    }
    return d.Pipeline.GainMap && d.Pipeline.RedGain && d.Pipeline.GreenGain && d.Pipeline.BlueGain && d.Pipeline.ToneTable && d.Pipeline.LogTable &&
           d.Pipeline.GammaTable;
}

uint64_t SuccessfulAllocations() {
    return host::GetPoolCounters().Allocations;
}

// Fails the nth allocation from now (1-based) during one bring-up, then checks the outcome.
TEST_F(CameraTest, FailureAtEveryAllocationOfBringUpLeavesNothingBehind) {
    Attach();
    const uint64_t kEnoughAllocations = 200;  // bring-up makes about 60
    uint64_t failures = 0;
    for (uint64_t n = 1; n <= kEnoughAllocations; ++n) {
        SCOPED_TRACE(testing::Message() << "allocation " << n << " fails");
        host::FailNthAllocation(n);
        NTSTATUS status = Initialize(camera_->PhysicalDeviceObject());
        host::ClearAllocationFailures();
        if (NT_SUCCESS(status)) {
            // Past the last allocation that matters: only then may bring-up succeed.
            EXPECT_TRUE(EverythingAllocated(Device()));
            ASSERT_EQ(Uninitialize(), STATUS_SUCCESS);
            EXPECT_EQ(host::PoolLeakReport(), "");
            break;
        }
        ++failures;
        EXPECT_TRUE(NothingAllocated(Device()));
        EXPECT_EQ(host::PoolLeakReport(), "");
        ASSERT_EQ(Uninitialize(), STATUS_SUCCESS);
    }
    EXPECT_GE(failures, 4u + 3 * kTransferSlotCount + kRawFrameCount + 7)
        << "every allocation of bring-up was tried";
}

TEST_F(CameraTest, FailureOfTheSixthTransferBufferFreesTheSlotsBuiltSoFar) {
    Attach();
    // Where the first transfer buffer lies among bring-up's allocations.
    host::FailAllocationsMatching(kTransferBytes, kTagTransferBuffer);
    uint64_t before = SuccessfulAllocations();
    ASSERT_EQ(Initialize(camera_->PhysicalDeviceObject()), STATUS_INSUFFICIENT_RESOURCES);
    uint64_t firstBuffer = SuccessfulAllocations() - before + 1;
    host::ClearAllocationFailures();
    ASSERT_EQ(host::PoolLeakReport(), "");

    // Each slot takes its IRP, its URB and its buffer, in that order.
    const uint64_t sixthBuffer = firstBuffer + 5 * 3;
    host::FailNthAllocation(sixthBuffer);
    before = SuccessfulAllocations();
    EXPECT_EQ(Initialize(camera_->PhysicalDeviceObject()), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(SuccessfulAllocations() - before, sixthBuffer - 1)
        << "five whole slots and the sixth slot's IRP and URB were built";
    host::ClearAllocationFailures();
    EXPECT_TRUE(NothingAllocated(Device()));
    EXPECT_EQ(host::PoolLeakReport(), "");
}

TEST_F(CameraTest, FailureOfALaterPipelineTableFreesTheEarlierOnes) {
    Attach();
    host::FailAllocationsMatching(0, kTagGammaTable);  // the last table built
    EXPECT_EQ(Initialize(camera_->PhysicalDeviceObject()), STATUS_INSUFFICIENT_RESOURCES);
    host::ClearAllocationFailures();
    EXPECT_TRUE(NothingAllocated(Device()));
    EXPECT_EQ(host::PoolLeakReport(), "");
}

}  // namespace
}  // namespace usb_test
