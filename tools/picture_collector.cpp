#include "tools/picture_collector.h"

#include <algorithm>

#include "host/kernel/clock.h"
#include "tools/status_text.h"

namespace vexacam::tools {
namespace {

// The driver parks at most four finished pictures; a few more reads keep it from ever waiting
// for the application.
constexpr size_t kReadsQueued = 6;
// Pictures waiting for the writer before the capture stops queuing reads (the driver then
// counts the periods it cannot fill as dropped) rather than holding ever more memory.
constexpr size_t kWriterBacklog = 8;
constexpr LONGLONG kPollInterval = 20 * host::kMillisecond;
// No picture for this long (or twenty frame periods, if longer) is a stalled stream; generous,
// since sanitizer builds process the largest frames slowly.
constexpr LONGLONG kStallLimit = 10 * host::kSecond;

double Seconds(LONGLONG hundredNanoseconds) {
    return static_cast<double>(hundredNanoseconds) / static_cast<double>(host::kSecond);
}

}  // namespace

PictureCollector::PictureCollector(host::StreamClient& stream, ULONG imageSize,
                                   LONGLONG frameInterval, PictureWriter& writer)
    : stream_(stream), imageSize_(imageSize), frameInterval_(frameInterval), writer_(writer) {}

PictureCollector::~PictureCollector() {
    if (!outstanding_.empty()) {
        stream_.SetState(KSSTATE_STOP);
        Drain();
    }
}

std::vector<uint8_t> PictureCollector::TakeBuffer() {
    if (spare_.empty()) return writer_.TakeBuffer(imageSize_);
    std::vector<uint8_t> buffer = std::move(spare_.back());
    spare_.pop_back();
    return buffer;
}

void PictureCollector::KeepReadsQueued() {
    while (outstanding_.size() < kReadsQueued && writer_.Backlog() < kWriterBacklog) {
        std::vector<uint8_t> buffer = TakeBuffer();
        // No framework time-out: a stalled stream is noticed here, with a clearer message.
        const uint64_t id = stream_.QueueRead(buffer.data(), imageSize_, 0);
        outstanding_.emplace(id, std::move(buffer));
    }
}

bool PictureCollector::Take(const host::CompletedRead& read, bool wanted, CollectOutcome* outcome,
                            std::string* failure) {
    auto found = outstanding_.find(read.Id);
    if (found == outstanding_.end()) return true;  // not one of ours
    std::vector<uint8_t> buffer = std::move(found->second);
    outstanding_.erase(found);
    if (read.Status == STATUS_SUCCESS && read.DataUsed >= imageSize_ && wanted) {
        outcome->Delivered += 1;
        outcome->PresentationTimes.push_back(read.PresentationTime);
        writer_.Write(outcome->Delivered, std::move(buffer));
        return true;
    }
    spare_.push_back(std::move(buffer));
    if (read.Status == STATUS_SUCCESS) return true;  // more than asked for
    if (read.Status == STATUS_CANCELLED) {
        // A full ring cancels a picture now and then; a stream that left the run state
        // cancels every read and takes no new ones.
        KSSTATE state = KSSTATE_STOP;
        if (NT_SUCCESS(stream_.GetState(&state)) && state == KSSTATE_RUN) return true;
        *failure = "the driver stopped the stream after " + std::to_string(outcome->Delivered) +
                   " frames (camera disconnected?)";
        return false;
    }
    *failure = "a read failed with status " + StatusText(read.Status) + " after " +
               std::to_string(outcome->Delivered) + " frames";
    return false;
}

CollectOutcome PictureCollector::Collect(const CaptureLimits& limits, ProgressDisplay* progress) {
    CollectOutcome outcome;
    const LONGLONG start = host::Now();
    const LONGLONG deadline = limits.Seconds > 0
                                  ? start + static_cast<LONGLONG>(limits.Seconds * host::kSecond)
                                  : 0;
    const LONGLONG stallLimit = std::max(kStallLimit, 20 * frameInterval_);
    LONGLONG lastPicture = start;
    const auto done = [&] {
        return deadline != 0 ? host::Now() >= deadline : outcome.Delivered >= limits.Frames;
    };
    while (!done()) {
        KeepReadsQueued();
        stream_.WaitForCompletedRead(kPollInterval);
        const LONGLONG now = host::Now();
        for (const host::CompletedRead& read : stream_.TakeCompletedReads()) {
            const uint32_t before = outcome.Delivered;
            const bool wanted = deadline != 0 ? read.CompletionTime < deadline
                                              : outcome.Delivered < limits.Frames;
            if (!Take(read, wanted, &outcome, &outcome.Failure)) return outcome;
            if (outcome.Delivered != before) {
                lastPicture = now;
                outcome.ElapsedSeconds = Seconds(now - start);
                if (progress != nullptr) progress->Update(outcome.Delivered, outcome.ElapsedSeconds);
            }
        }
        std::string writing = writer_.Failure();
        if (!writing.empty()) {
            outcome.Failure = writing;
            return outcome;
        }
        if (now - lastPicture > stallLimit) {
            outcome.Failure = "no frame from the driver for " +
                              std::to_string(stallLimit / host::kSecond) + " s after " +
                              std::to_string(outcome.Delivered) + " frames";
            return outcome;
        }
    }
    if (deadline != 0) outcome.ElapsedSeconds = Seconds(host::Now() - start);
    return outcome;
}

void PictureCollector::Drain() {
    // The stop has completed every read; collect them so the buffers can go.
    while (!outstanding_.empty()) {
        std::vector<host::CompletedRead> reads = stream_.TakeCompletedReads();
        if (reads.empty()) {
            if (stream_.PendingReads() == 0) break;
            stream_.WaitForCompletedRead(kPollInterval);
            continue;
        }
        for (const host::CompletedRead& read : reads) {
            auto found = outstanding_.find(read.Id);
            if (found == outstanding_.end()) continue;
            spare_.push_back(std::move(found->second));
            outstanding_.erase(found);
        }
    }
}

}  // namespace vexacam::tools
