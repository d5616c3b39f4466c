#include "tools/picture_collector.h"

#include <algorithm>

#include "host/kernel/clock.h"
#include "tools/status_text.h"
#include "tools/stop_signal.h"

namespace vexacam::tools {
namespace {

// The driver parks at most four finished pictures; a few more reads keep it from ever waiting
// for the application.
constexpr size_t kReadsQueued = 6;
constexpr LONGLONG kPollInterval = 20 * host::kMillisecond;
// No picture for this long (or twenty frame periods, if longer) is a stalled stream; generous,
// since sanitizer builds process the largest frames slowly.
constexpr LONGLONG kStallLimit = 10 * host::kSecond;

}  // namespace

PictureCollector::PictureCollector(host::StreamClient& stream, ULONG imageSize, LONGLONG frameInterval,
                                   BufferPool& buffers)
    : stream_(stream), imageSize_(imageSize), frameInterval_(frameInterval), buffers_(buffers) {}

PictureCollector::~PictureCollector() {
    if (!outstanding_.empty()) {
        stream_.SetState(KSSTATE_STOP);
        Drain();
    }
}

void PictureCollector::PrepareBuffers() {
    std::vector<std::vector<uint8_t>> made;
    while (outstanding_.size() + made.size() < kReadsQueued) made.push_back(buffers_.Take(imageSize_));
    for (std::vector<uint8_t>& buffer : made) buffers_.Give(std::move(buffer));
}

void PictureCollector::KeepReadsQueued() {
    while (outstanding_.size() < kReadsQueued) {
        std::vector<uint8_t> buffer = buffers_.Take(imageSize_);
        // No framework time-out: a stalled stream is noticed here, with a clearer message.
        const uint64_t id = stream_.QueueRead(buffer.data(), imageSize_, 0);
        outstanding_.emplace(id, std::move(buffer));
    }
}

bool PictureCollector::Take(const host::CompletedRead& read, const std::function<bool(DeliveredPicture&)>& take,
                            bool* more, std::string* failure) {
    auto found = outstanding_.find(read.Id);
    if (found == outstanding_.end()) return true;  // not one of ours
    DeliveredPicture picture;
    picture.Pixels = std::move(found->second);
    outstanding_.erase(found);
    if (read.Status == STATUS_SUCCESS && read.DataUsed >= imageSize_) {
        if (*more) {
            ++delivered_;
            picture.PresentationTime = read.PresentationTime;
            picture.Duration = read.Duration;
            picture.PictureNumber = read.PictureNumber;
            picture.DropCount = read.DropCount;
            picture.Discontinuity = (read.OptionsFlags & KSSTREAM_HEADER_OPTIONSF_DATADISCONTINUITY) != 0;
            picture.CompletionTime = read.CompletionTime;
            *more = take(picture);
        }
        buffers_.Give(std::move(picture.Pixels));
        return true;
    }
    buffers_.Give(std::move(picture.Pixels));
    if (read.Status == STATUS_SUCCESS) return true;  // a picture without its bytes: not one to keep
    if (read.Status == STATUS_CANCELLED) {
        // A full ring cancels a picture now and then; a stream that left the run state
        // cancels every read and takes no new ones.
        KSSTATE state = KSSTATE_STOP;
        if (NT_SUCCESS(stream_.GetState(&state)) && state == KSSTATE_RUN) return true;
        *failure = "the driver stopped the stream after " + std::to_string(delivered_) +
                   " frames (camera disconnected?)";
        return false;
    }
    *failure = "a read failed with status " + StatusText(read.Status) + " after " + std::to_string(delivered_) +
               " frames";
    return false;
}

bool PictureCollector::Round(const std::function<bool(DeliveredPicture&)>& take, bool* more, std::string* failure) {
    KeepReadsQueued();
    stream_.WaitForCompletedRead(kPollInterval);
    for (const host::CompletedRead& read : stream_.TakeCompletedReads()) {
        if (!Take(read, take, more, failure)) return false;
    }
    return true;
}

std::string PictureCollector::CollectOnce(const std::function<void(DeliveredPicture&)>& take) {
    bool more = true;
    std::string failure;
    Round([&](DeliveredPicture& picture) { take(picture); return true; }, &more, &failure);
    return failure;
}

std::string PictureCollector::Collect(const std::function<bool(DeliveredPicture&)>& take) {
    const LONGLONG stallLimit = std::max(kStallLimit, 20 * frameInterval_);
    LONGLONG lastPicture = host::Now();
    bool more = true;
    while (more && !StopRequested()) {
        const uint32_t before = delivered_;
        std::string failure;
        if (!Round(take, &more, &failure)) return failure;
        const LONGLONG now = host::Now();
        if (delivered_ != before) lastPicture = now;
        if (more && now - lastPicture > stallLimit) {
            return "no frame from the driver for " + std::to_string(stallLimit / host::kSecond) + " s after " +
                   std::to_string(delivered_) + " frames";
        }
    }
    return "";
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
            buffers_.Give(std::move(found->second));
            outstanding_.erase(found);
        }
    }
}

}  // namespace vexacam::tools
