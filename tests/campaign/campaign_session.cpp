// One campaign session: bring-up (perhaps through a failed allocation first), a stream, random
// events, the recovery check and teardown with the invariants. See campaign_session.h.
#include "tests/campaign/campaign_session.h"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <set>

#include "camera/simulated_camera.h"
#include "driver/adapter.h"
#include "driver/device_context.h"
#include "driver/formats.h"
#include "host/files/machine_root.h"
#include "host/framework/client.h"
#include "host/kernel/clock.h"
#include "host/kernel/host_reset.h"
#include "host/kernel/pool.h"
#include "host/registry/registry_store.h"
#include "tests/campaign/operation_watch.h"
#include "tests/campaign/property_burst.h"
#include "tests/driver_under_test.h"
#include "usb/pool_tags.h"

namespace campaign {
namespace {

// 1024 x 768, 800 x 600 and 640 x 480: every framing rule (whole transfers and a short one,
// a short one alone) at a cost that lets thousands of sessions run.
constexpr ULONG kFormats[] = {3, 4, 5};
constexpr int kReadsInRecovery = 4;
constexpr int kFramesToCallRecovered = 3;

const char* const kTransferErrorNames[] = {"invalid-parameter", "babble", "xact",
                                           "not-responding", "crc", "other"};

std::string MachineRootOfThisProcess() {
    static const std::string root = host::MakeTemporaryMachineRoot("campaign");
    return root;
}

// Settings and calibration files of earlier sessions must not steer this one.
void FreshMachine() {
    host::SetMachineRoot(MachineRootOfThisProcess());
    std::error_code ignored;
    std::filesystem::remove(host::RegistryFilePath(), ignored);
    std::filesystem::remove_all(host::SystemRootPath(), ignored);
    host::registry::DiscardHive();
}

KS_DATAFORMAT_VIDEOINFOHEADER FormatOf(ULONG index) {
    const auto* range = reinterpret_cast<const KS_DATARANGE_VIDEO*>(CaptureFormats[index]);
    KS_DATAFORMAT_VIDEOINFOHEADER format{};
    format.DataFormat = range->DataRange;
    format.DataFormat.FormatSize = sizeof(format);
    format.VideoInfoHeader = range->VideoInfoHeader;
    return format;
}

class Session {
public:
    Session(uint32_t seed, const SessionShape& shape) : rng_(seed), watch_(seed), shape_(shape) {
        result_.Seed = seed;
    }

    SessionResult Run() {
        host::ResetHost();
        host::UseManualClock();
        FreshMachine();
        if (watch_.Run("driver load", [&] {
                return LoadDriverUnderTest(&driver_);
            }) != STATUS_SUCCESS) {
            Fail("the driver did not load");
            return result_;
        }
        if (BringUp(Chance(4))) {
            Open(Pick(kFormats));
            for (int i = 0; i < shape_.Events; ++i) InjectOne();
            CheckRecovery();
        }
        TearDown();
        result_.LongestOperation = watch_.LongestHostTime();
        return result_;
    }

private:
    // ---- set-up ----

    // A new camera and an adapter for it; first through one failed allocation of bring-up.
    bool BringUp(bool failAnAllocation) {
        camera::CameraOptions options;
        options.FramesPerSecond = 62.5;
        options.Seed = static_cast<uint32_t>(rng_());
        camera_ = std::make_unique<camera::SimulatedCamera>(options);
        if (failAnAllocation) {
            Count("allocation failure in bring-up");
            host::FailNthAllocation(Between(1, 80));
            const NTSTATUS status = watch_.Run("bring-up with a failed allocation", [&] {
                return driver_->CreateAdapter(camera_->PhysicalDeviceObject(), &adapter_);
            });
            host::ClearAllocationFailures();
            if (NT_SUCCESS(status)) return true;  // past bring-up's last allocation
            adapter_.reset();
            if (host::PoolLeakReport() != "") {
                Fail("failed bring-up left pool blocks: " + host::PoolLeakReport());
            }
        }
        if (watch_.Run("bring-up", [&] {
                return driver_->CreateAdapter(camera_->PhysicalDeviceObject(), &adapter_);
            }) != STATUS_SUCCESS) {
            Fail("bring-up failed without an injected fault");
            return false;
        }
        return true;
    }

    bool Open(ULONG formatIndex) {
        const KS_DATAFORMAT_VIDEOINFOHEADER format = FormatOf(formatIndex);
        if (watch_.Run("stream open", [&] {
                return adapter_->OpenStream(0, &format.DataFormat, &stream_);
            }) != STATUS_SUCCESS) {
            stream_.reset();
            return false;
        }
        ++streamGeneration_;
        format_ = formatIndex;
        return true;
    }

    // ---- events ----

    void InjectOne() {
        const int roll = Between(0, 99);
        if (roll < 30) return Advance();
        if (roll < 45) return QueueReads(Between(1, 4));
        if (roll < 52) return CancelRead();
        if (roll < 64) return VideoFault();
        if (roll < 68) return EndpointFault();
        if (roll < 73) return AllocationFailure();
        if (roll < 81) return StateChange();
        if (roll < 85) return FormatChange();
        if (roll < 89) return CloseAndReopen();
        if (roll < 97) return PropertiesFromAnotherThread();
        return Disconnect();
    }

    void Advance() {
        host::AdvanceClock(HalfPeriod() * Between(1, 4));
        Collect();
    }

    void QueueReads(int count) {
        if (!stream_) return;
        Count("reads queued");
        const ULONG imageSize = Device().ImageSize;
        for (int i = 0; i < count; ++i) {
            // Now and then a buffer too small for the picture, which must be refused.
            const ULONG size = Chance(10) ? imageSize / 2 : imageSize;
            auto buffer = std::make_unique<std::vector<UCHAR>>(size, 0xEE);
            const uint64_t id = stream_->QueueRead(buffer->data(), size, 0);
            const uint64_t key = Key(id);
            queued_.insert(key);
            buffers_[key] = std::move(buffer);
        }
    }

    void CancelRead() {
        if (!stream_ || buffers_.empty()) return;
        Count("read cancelled");
        auto it = buffers_.begin();
        std::advance(it, Between(0, static_cast<int>(buffers_.size()) - 1));
        const uint64_t key = it->first;
        if ((key >> 32) != streamGeneration_) return;
        watch_.Run("read cancel", [&] { return stream_->CancelRead(key & 0xFFFFFFFFu); });
        Collect();
    }

    void VideoFault() {
        camera::FaultSpec fault;
        const int kind = Between(0, 4);
        if (kind == 0) {
            const char* name = Pick(kTransferErrorNames);
            camera::TransferErrorStatus(name, &fault.Status);
            fault.Kind = camera::FaultKind::TransferError;
            Count((std::string("video transfer error ") + name).c_str());
        } else {
            static const camera::FaultKind kKinds[] = {
                camera::FaultKind::Stall, camera::FaultKind::ShortFrame,
                camera::FaultKind::LongFrame, camera::FaultKind::ExtraTransfer};
            static const char* const kNames[] = {"video stall", "short frame", "long frame",
                                                 "extra transfer"};
            fault.Kind = kKinds[kind - 1];
            Count(kNames[kind - 1]);
        }
        fault.Transfer = static_cast<uint32_t>(Between(1, 3));
        camera_->InjectFault(fault);
    }

    void EndpointFault() {
        camera::FaultSpec fault;
        fault.Where = Chance(2) ? camera::Endpoint::Command : camera::Endpoint::Status;
        fault.Kind = Chance(2) ? camera::FaultKind::Stall : camera::FaultKind::TransferError;
        fault.Transfer = static_cast<uint32_t>(Between(1, 2));
        Count(fault.Where == camera::Endpoint::Command ? "command pipe fault" : "status pipe fault");
        camera_->InjectFault(fault);
    }

    // The next few allocations fail wherever they are made: the frame hand-off's context and
    // work item, command transfers, settings queries, a stream context.
    void AllocationFailure() {
        if (Chance(2)) {
            Count("allocation failure at frame hand-off");
            host::FailAllocationsMatching(0, MakePoolTag("VxFw"));
            Advance();
            host::ClearAllocationFailures();
        } else {
            Count("allocation failure, next allocation");
            host::FailNthAllocation(Between(1, 3));
            Advance();
        }
    }

    void StateChange() {
        if (!stream_) return;
        static const KSSTATE kStates[] = {KSSTATE_STOP, KSSTATE_PAUSE, KSSTATE_RUN};
        const KSSTATE state = Pick(kStates);
        Count("state change");
        watch_.Run("state change", [&] { return stream_->SetState(state); });
        Collect();
    }

    void FormatChange() {
        if (!stream_) return;
        Count("format change");
        const ULONG index = Pick(kFormats);
        const KS_DATAFORMAT_VIDEOINFOHEADER format = FormatOf(index);
        if (NT_SUCCESS(watch_.Run("format change",
                                  [&] { return stream_->SetFormat(&format.DataFormat); }))) {
            format_ = index;
        }
        Collect();
    }

    void CloseAndReopen() {
        Count("close and reopen");
        CloseStream();
        Open(Pick(kFormats));
    }

    void PropertiesFromAnotherThread() {
        Count("property requests from another thread");
        PropertyBurst burst(*adapter_, static_cast<uint32_t>(rng_()), Between(4, 16));
        for (int i = 0; i < 3; ++i) Advance();
        watch_.Run("property requests", [&] {
            burst.Join();
            return 0;
        });
        result_.Events += burst.Requests();
    }

    // The camera leaves while reads wait; then a new camera is plugged in and opened.
    void Disconnect() {
        if (disconnected_) return;
        disconnected_ = true;
        Count("disconnect");
        // Only a running engine sees the camera go; a stopped stream learns it at its next run.
        KSSTATE state = KSSTATE_STOP;
        const bool capturing = stream_ && NT_SUCCESS(stream_->GetState(&state)) &&
                               state != KSSTATE_STOP;
        camera_->Unplug();
        host::AdvanceClock(HalfPeriod() * 2);
        Collect();
        if (capturing && stream_->PendingReads() != 0) {
            Fail(std::to_string(stream_->PendingReads()) + " reads still pending after unplug (" +
                 Diagnosis() + ")");
        }
        CloseStream();
        watch_.Run("uninitialize after unplug", [&] { return adapter_->Uninitialize(); });
        adapter_.reset();
        camera_.reset();
        host::ClearAllocationFailures();
        if (BringUp(false)) Open(Pick(kFormats));
    }

    // ---- invariants ----

    // Faults cleared, a fresh run: the stream must deliver pictures again.
    void CheckRecovery() {
        host::ClearAllocationFailures();
        if (!adapter_) return;
        if (!stream_ && !Open(Pick(kFormats))) {
            Fail("the stream does not open again after the faults");
            return;
        }
        watch_.Run("stop", [&] { return stream_->SetState(KSSTATE_STOP); });
        watch_.Run("pause", [&] { return stream_->SetState(KSSTATE_PAUSE); });
        host::RunUntilIdle();
        watch_.Run("run", [&] { return stream_->SetState(KSSTATE_RUN); });
        Collect();
        const uint64_t before = delivered_;
        QueueReads(kReadsInRecovery);
        for (int i = 0; i < shape_.RecoveryPeriods; ++i) {
            host::AdvanceClock(HalfPeriod() * 2);
            const size_t waiting = stream_->PendingReads();
            Collect();
            if (delivered_ - before >= kFramesToCallRecovered) return;
            if (waiting < kReadsInRecovery) QueueReads(kReadsInRecovery - static_cast<int>(waiting));
        }
        Fail("delivered " + std::to_string(delivered_ - before) + " frames in " +
             std::to_string(shape_.RecoveryPeriods) + " periods after the faults (" +
             Diagnosis() + ")");
    }

    void CloseStream() {
        if (!stream_) return;
        watch_.Run("stream close", [&] { return stream_->Close(); });
        Collect();
        if (stream_->PendingReads() != 0) {
            Fail(std::to_string(stream_->PendingReads()) + " reads pending after close");
        }
        stream_.reset();
    }

    void TearDown() {
        CloseStream();
        if (adapter_) {
            watch_.Run("uninitialize", [&] { return adapter_->Uninitialize(); });
            adapter_.reset();
        }
        host::RunUntilIdle();
        for (uint64_t key : queued_) {
            const int times = completions_[key];
            if (times != 1) {
                Fail("read " + std::to_string(key & 0xFFFFFFFFu) + " of stream " +
                     std::to_string(key >> 32) + " completed " + std::to_string(times) + " times");
            }
        }
        if (host::LiveSystemThreadCount() != 0) Fail("a system thread outlived the adapter");
        const std::string leaks = host::PoolLeakReport();
        if (!leaks.empty()) {
            Fail("pool blocks outstanding at unload: " + leaks);
            (void)driver_.release();  // unload would stop the process; the failure is reported
        }
        driver_.reset();
        camera_.reset();
        host::ClearAllocationFailures();
    }

    // Completed reads: each counted once per completion, with its bytes checked.
    void Collect() {
        host::RunUntilIdle();
        if (!stream_) return;
        for (const host::CompletedRead& read : stream_->TakeCompletedReads()) {
            const uint64_t key = Key(read.Id);
            ++completions_[key];
            buffers_.erase(key);
            if (read.Status == STATUS_SUCCESS) {
                ++delivered_;
                if (read.DataUsed > read.BufferSize) Fail("a picture overran its buffer");
            } else if (read.DataUsed != 0) {
                Fail("a failed read reported " + std::to_string(read.DataUsed) + " bytes");
            }
        }
    }

    // What the camera and the driver were doing, for a failure line.
    std::string Diagnosis() {
        const camera::CameraCounters c = camera_->Counters();
        const DeviceContext& d = Device();
        return "camera " + std::string(c.Running ? "running" : "stopped") + " " +
               std::to_string(c.Geometry.Width) + "x" + std::to_string(c.Geometry.Height) +
               ", sent " + std::to_string(c.FramesSent) + " of " +
               std::to_string(c.FramesProduced) + "; driver " +
               std::to_string(d.Command.FrameWidth) + "x" + std::to_string(d.Command.FrameHeight) +
               ", run code " + std::to_string(d.Command.RunCode) + ", reset request " +
               std::to_string(d.ResetRequest) + ", work items " +
               std::to_string(d.WorkItemsInFlight) + ", ring " + std::to_string(d.RingReadIndex) +
               "/" + std::to_string(d.RingWriteIndex) + ", reads pending " +
               std::to_string(stream_->PendingReads()) + ", stream state " +
               std::to_string(d.Stream != nullptr ? static_cast<int>(d.Stream->State) : -1) +
               ", reader thread " + (d.ReaderThread != nullptr ? "yes" : "no") +
               ", system threads " + std::to_string(host::LiveSystemThreadCount());
    }

    // ---- helpers ----

    DeviceContext& Device() { return *static_cast<DeviceContext*>(adapter_->DeviceExtension()); }
    LONGLONG HalfPeriod() const {
        return FormatOf(format_).VideoInfoHeader.AvgTimePerFrame / 2;
    }
    uint64_t Key(uint64_t id) const { return (streamGeneration_ << 32) | (id & 0xFFFFFFFFu); }
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool Chance(int oneIn) { return Between(1, oneIn) == 1; }
    template <typename T, size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Between(0, static_cast<int>(N) - 1)];
    }
    void Count(const std::string& kind) {
        // VEXACAM_CAMPAIGN_TRACE=1 prints each event as it is injected, to replay a seed.
        static const bool trace = std::getenv("VEXACAM_CAMPAIGN_TRACE") != nullptr;
        if (trace) {
            std::fprintf(stderr, "seed %u t=%lld: %s\n", result_.Seed,
                         static_cast<long long>(host::Now()), kind.c_str());
        }
        ++result_.Events;
        ++result_.ByKind[kind];
    }
    void Fail(const std::string& what) {
        result_.Failures.push_back("seed " + std::to_string(result_.Seed) + ": " + what);
    }

    std::mt19937 rng_;
    OperationWatch watch_;
    SessionShape shape_;
    SessionResult result_;
    std::unique_ptr<camera::SimulatedCamera> camera_;
    std::unique_ptr<host::LoadedDriver> driver_;
    std::unique_ptr<host::AdapterClient> adapter_;
    std::unique_ptr<host::StreamClient> stream_;
    ULONG format_ = kFormats[0];
    uint64_t streamGeneration_ = 0;
    bool disconnected_ = false;
    uint64_t delivered_ = 0;
    std::set<uint64_t> queued_;                                      // every read handed over
    std::map<uint64_t, int> completions_;                            // completions per read
    std::map<uint64_t, std::unique_ptr<std::vector<UCHAR>>> buffers_;  // buffers still lent out
};

}  // namespace

SessionResult RunSession(uint32_t seed, const SessionShape& shape) {
    Session session(seed, shape);
    return session.Run();
}

}  // namespace campaign
