// The application side of a live capture: keeps reads queued on the running stream with
// buffers of the picture size, takes the pictures the driver delivers in order and hands them
// to the writer, until the frames or the time asked for are done or the stream fails.
//
// The collector owns the read buffers, so it must see every read completed before it goes:
// Drain after stopping the stream (the stop cancels what is still queued).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/framework/client.h"
#include "tools/picture_writer.h"
#include "tools/progress_display.h"

namespace vexacam::tools {

struct CaptureLimits {
    uint32_t Frames = 30;  // used when Seconds is 0
    double Seconds = 0;    // > 0: a timed capture
};

struct CollectOutcome {
    uint32_t Delivered = 0;
    std::vector<LONGLONG> PresentationTimes;  // of the pictures kept
    double ElapsedSeconds = 0;  // from the start of collecting to the last picture kept
    std::string Failure;        // empty when the limits were met
};

class PictureCollector {
public:
    PictureCollector(host::StreamClient& stream, ULONG imageSize, LONGLONG frameInterval,
                     PictureWriter& writer);
    ~PictureCollector();  // stops the stream first if reads are still out
    PictureCollector(const PictureCollector&) = delete;
    PictureCollector& operator=(const PictureCollector&) = delete;

    // Runs in real time on the host clock; the stream must be running. Can be called again
    // for more pictures: the reads stay queued in between.
    CollectOutcome Collect(const CaptureLimits& limits, ProgressDisplay* progress = nullptr);
    // After the stream was stopped: takes the remaining (cancelled) reads.
    void Drain();

private:
    void KeepReadsQueued();
    std::vector<uint8_t> TakeBuffer();
    // One completed read; false when it ends the capture with *failure set.
    bool Take(const host::CompletedRead& read, bool wanted, CollectOutcome* outcome,
              std::string* failure);

    host::StreamClient& stream_;
    ULONG imageSize_;
    LONGLONG frameInterval_;
    PictureWriter& writer_;
    std::map<uint64_t, std::vector<uint8_t>> outstanding_;  // read id -> its buffer
    std::vector<std::vector<uint8_t>> spare_;
};

}  // namespace vexacam::tools
