// The stream-class framework against a minidriver of the test's own: adapter life cycle,
// property checks, reads, cancellation, time-out counting and the request checks.
#include <gtest/gtest.h>

#include <sys/mman.h>

#include <memory>

#include "fake_minidriver.h"
#include "host/framework/client.h"
#include "host/framework/property_check.h"
#include "host/kernel/clock.h"
#include "host/kernel/host_reset.h"
#include "host/kernel/page_residency.h"

namespace framework_test {
namespace {

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        host::ResetHost();
        host::UseManualClock();
        ResetFake();
        ASSERT_EQ(host::LoadedDriver::Load(FakeDriverEntry, &driver_), STATUS_SUCCESS);
    }

    void TearDown() override {
        stream_.reset();
        adapter_.reset();
        driver_.reset();
        host::RunUntilIdle();
    }

    void BringUp() {
        ASSERT_EQ(driver_->CreateAdapter(&pdo_, &adapter_), STATUS_SUCCESS);
    }

    void OpenStream() {
        BringUp();
        KSDATAFORMAT format{};
        format.FormatSize = sizeof(format);
        ASSERT_EQ(adapter_->OpenStream(0, &format, &stream_), STATUS_SUCCESS);
    }

    std::vector<SRB_COMMAND> AdapterCommands() {
        std::lock_guard<std::mutex> guard(Fake().Lock);
        return Fake().AdapterCommands;
    }

    DEVICE_OBJECT pdo_{};
    std::unique_ptr<host::LoadedDriver> driver_;
    std::unique_ptr<host::AdapterClient> adapter_;
    std::unique_ptr<host::StreamClient> stream_;
    UCHAR buffer_[4][64] = {};
};

TEST_F(FrameworkTest, BringsTheAdapterUpAndDownInTheFrameworksOrder) {
    BringUp();
    EXPECT_EQ(Fake().PhysicalDevice, &pdo_);
    EXPECT_EQ(adapter_->StreamDescriptorSize(),
              sizeof(HW_STREAM_HEADER) + sizeof(HW_STREAM_INFORMATION));
    EXPECT_EQ(adapter_->StreamHeader().NumberOfStreams, 1u);
    EXPECT_EQ(adapter_->Formats(0).size(), 1u);
    EXPECT_TRUE(adapter_->Formats(1).empty());
    EXPECT_EQ(adapter_->Uninitialize(), STATUS_SUCCESS);
    EXPECT_EQ(adapter_->Uninitialize(), STATUS_SUCCESS) << "sent once";
    const std::vector<SRB_COMMAND> expected = {SRB_INITIALIZE_DEVICE, SRB_GET_STREAM_INFO,
                                               SRB_INITIALIZATION_COMPLETE,
                                               SRB_UNINITIALIZE_DEVICE};
    EXPECT_EQ(AdapterCommands(), expected);
}

TEST_F(FrameworkTest, AFailedInitializationEndsTheBringUp) {
    Fake().InitializeStatus = STATUS_INSUFFICIENT_RESOURCES;
    EXPECT_EQ(driver_->CreateAdapter(nullptr, &adapter_), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(adapter_, nullptr);
    EXPECT_EQ(AdapterCommands(), std::vector<SRB_COMMAND>{SRB_INITIALIZE_DEVICE});
}

TEST_F(FrameworkTest, PropertyRequestsAreCheckedAgainstTheTablesFirst) {
    BringUp();
    struct Case {
        const char* reason;
        GUID set;
        ULONG id;
        bool isSet;
        ULONG inputSize, dataSize;
        NTSTATUS status;
        ULONG returned;
    };
    const GUID unknown = KSCATEGORY_VIDEO;
    const Case cases[] = {
        {"unknown set", unknown, kGetOnlyId, false, 24, 4, STATUS_NOT_FOUND, 0},
        {"set without items", KSPROPSETID_Connection, 0, false, 24, 4, STATUS_NOT_FOUND, 0},
        {"unknown id", kFakeSet, 9, false, 24, 4, STATUS_NOT_FOUND, 0},
        {"get not supported", kFakeSet, kSetOnlyId, false, 24, 4, STATUS_INVALID_DEVICE_REQUEST,
         0},
        {"set not supported", kFakeSet, kGetOnlyId, true, 24, 4, STATUS_INVALID_DEVICE_REQUEST, 0},
        {"input below MinProperty", kFakeSet, kWideId, false, 24, 40, STATUS_INVALID_BUFFER_SIZE,
         0},
        {"data below MinData", kFakeSet, kWideId, false, 40, 39, STATUS_BUFFER_TOO_SMALL, 0},
        {"no data: the size needed", kFakeSet, kWideId, false, 40, 0, STATUS_BUFFER_OVERFLOW, 40},
        {"a valid get reaches the driver", kFakeSet, kGetOnlyId, false, 24, 4, STATUS_SUCCESS, 4},
        {"a valid wide get reaches the driver", kFakeSet, kWideId, false, 40, 40, STATUS_SUCCESS,
         40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        Fake().Properties.clear();
        UCHAR data[64] = {};
        host::PropertyCall call{c.set, c.id, c.dataSize != 0 ? data : nullptr, c.dataSize,
                                c.inputSize};
        ULONG returned = 99;
        const NTSTATUS status =
            c.isSet ? adapter_->SetProperty(call) : adapter_->GetProperty(call, &returned);
        EXPECT_EQ(status, c.status);
        if (!c.isSet) {
            EXPECT_EQ(returned, c.returned);
        }
        EXPECT_EQ(Fake().Properties.size(), NT_SUCCESS(c.status) ? 1u : 0u);
    }
}

TEST_F(FrameworkTest, DriverSeesTheSetIndexAndAPropertyHeaderWithTheCallersTail) {
    OpenStream();
    KSPROPERTY_VIDEOPROCAMP_S value{};
    value.Value = 7;
    host::PropertyCall call{kFakeSet, kWideId, &value, sizeof(value), sizeof(value)};
    ASSERT_EQ(stream_->SetProperty(call), STATUS_SUCCESS);
    ASSERT_EQ(Fake().Properties.size(), 1u);
    const SeenProperty& seen = Fake().Properties[0];
    EXPECT_EQ(seen.Command, SRB_SET_STREAM_PROPERTY);
    EXPECT_EQ(seen.SetIndex, 1u);
    EXPECT_EQ(seen.Id, kWideId);
    EXPECT_EQ(seen.Flags, static_cast<ULONG>(KSPROPERTY_TYPE_SET));
    EXPECT_EQ(seen.InputSize, 40u);
    EXPECT_EQ(seen.OutputSize, 40u);
}

TEST_F(FrameworkTest, CompletedReadsCarryTheirHeaderAndFrameInformation) {
    OpenStream();
    const uint64_t first = stream_->QueueRead(buffer_[0], 64);
    const uint64_t second = stream_->QueueRead(buffer_[1], 64);
    EXPECT_EQ(stream_->PendingReads(), 2u);
    host::AdvanceClock(host::kMillisecond);
    ASSERT_TRUE(CompleteOldestRead(STATUS_SUCCESS, 48, 7));
    std::vector<host::CompletedRead> reads = stream_->TakeCompletedReads();
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].Id, first);
    EXPECT_EQ(reads[0].Status, STATUS_SUCCESS);
    EXPECT_EQ(reads[0].Buffer, buffer_[0]);
    EXPECT_EQ(reads[0].DataUsed, 48u);
    EXPECT_EQ(reads[0].OptionsFlags, static_cast<ULONG>(KSSTREAM_HEADER_OPTIONSF_TIMEVALID));
    EXPECT_EQ(reads[0].PresentationTime, 42);
    EXPECT_EQ(reads[0].PictureNumber, 7);
    EXPECT_EQ(reads[0].CompletionTime, host::kDefaultManualStart + host::kMillisecond);
    EXPECT_EQ(stream_->PendingReads(), 1u);
    EXPECT_TRUE(stream_->TakeCompletedReads().empty()) << "taken reads are forgotten";
    EXPECT_EQ(stream_->Close(), STATUS_SUCCESS);
    reads = stream_->TakeCompletedReads();
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].Id, second);
    EXPECT_EQ(reads[0].Status, STATUS_CANCELLED);
}

// The platform's framework locks a read's buffer before the driver sees it; the driver's first
// write into a picture buffer must not fault page by page.
TEST_F(FrameworkTest, ReadBuffersAreResidentWhenTheDriverGetsThem) {
    OpenStream();
    constexpr size_t kSize = 300 * 4096;
    void* mapped = mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    auto* buffer = static_cast<UCHAR*>(mapped);
    buffer[0] = 0x5A;  // the rest is untouched: not yet resident
    ASSERT_GT(host::PagesNotResident(buffer, kSize), 0u);
    stream_->QueueRead(buffer, kSize);
    EXPECT_EQ(host::PagesNotResident(buffer, kSize), 0u);
    EXPECT_EQ(buffer[0], 0x5A) << "locking leaves the bytes as they were";
    EXPECT_EQ(stream_->Close(), STATUS_SUCCESS);
    stream_->TakeCompletedReads();
    munmap(mapped, kSize);
}

TEST_F(FrameworkTest, CancelReachesTheDriverOnlyWhileTheReadIsPending) {
    OpenStream();
    const uint64_t id = stream_->QueueRead(buffer_[0], 64);
    EXPECT_TRUE(stream_->CancelRead(id));
    EXPECT_FALSE(stream_->CancelRead(id)) << "already completed: the driver is not called";
    EXPECT_EQ(Fake().Cancels, 1);
    std::vector<host::CompletedRead> reads = stream_->TakeCompletedReads();
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].Status, STATUS_CANCELLED);
    EXPECT_FALSE(stream_->CancelRead(id)) << "unknown once collected";
}

TEST_F(FrameworkTest, TimeOutsAreCountedDownOncePerSecondOfHostTime) {
    OpenStream();
    stream_->QueueRead(buffer_[0], 64, 3);
    stream_->QueueRead(buffer_[1], 64, 0);  // never times out
    host::AdvanceClock(2 * host::kSecond);
    EXPECT_EQ(Fake().Timeouts, 0);
    host::AdvanceClock(host::kSecond);
    EXPECT_EQ(Fake().Timeouts, 1);
    host::AdvanceClock(2 * host::kSecond);
    EXPECT_EQ(Fake().Timeouts, 1) << "the driver restarted the count";
    host::AdvanceClock(host::kSecond);
    EXPECT_EQ(Fake().Timeouts, 2);
    EXPECT_EQ(stream_->PendingReads(), 2u) << "a time-out does not complete the read";
}

TEST_F(FrameworkTest, CompletedRequestsAreNotCountedDown) {
    OpenStream();
    stream_->QueueRead(buffer_[0], 64, 1);
    ASSERT_TRUE(CompleteOldestRead(STATUS_SUCCESS, 0, 0));
    host::AdvanceClock(3 * host::kSecond);
    EXPECT_EQ(Fake().Timeouts, 0);
}

using FrameworkDeathTest = FrameworkTest;

TEST_F(FrameworkDeathTest, CompletingAReadTwiceStopsTheProcess) {
    OpenStream();
    stream_->QueueRead(buffer_[0], 64);
    PHW_STREAM_REQUEST_BLOCK srb = Fake().QueuedReads.front();
    ASSERT_TRUE(CompleteOldestRead(STATUS_SUCCESS, 0, 0));
    EXPECT_DEATH(CompleteAgain(srb), "vexacam verifier: .*completed twice");
}

TEST_F(FrameworkDeathTest, AdapterRequestCompletedAsStreamRequestStopsTheProcess) {
    BringUp();
    EXPECT_DEATH(
        {
            CompleteNextAdapterRequestAsStream();
            adapter_->SendRequest(SRB_CHANGE_POWER_STATE);
        },
                 "vexacam verifier: .*StreamRequestComplete.*adapter request");
}

TEST_F(FrameworkDeathTest, CloseThatLeavesReadsPendingStopsTheProcess) {
    OpenStream();
    stream_->QueueRead(buffer_[0], 64);
    EXPECT_DEATH(
        {
            LeaveReadsAtClose(true);
            stream_->Close();
        },
        "vexacam verifier: SRB_CLOSE_STREAM left request");
}

}  // namespace
}  // namespace framework_test
