// The application side of a live capture: keeps reads queued on the running stream with
// buffers of the picture size and takes the pictures the driver delivers, in order, handing
// each to the caller. Reads are always queued, whatever the caller does with the pictures, so
// the driver never drops a frame period for want of a buffer.
//
// The collector owns the read buffers, so it must see every read completed before it goes:
// Drain after stopping the stream (the stop cancels what is still queued).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/framework/client.h"
#include "tools/buffer_pool.h"

namespace vexacam::tools {

// One picture as the driver delivered it, with its stream header's account of it.
struct DeliveredPicture {
    std::vector<uint8_t> Pixels;  // bottom-up BGR rows, as the driver writes them
    LONGLONG PresentationTime = 0;  // 100 ns from the stream's start
    LONGLONG Duration = 0;
    LONGLONG PictureNumber = 0;  // the frame period it was delivered in
    LONGLONG DropCount = 0;      // periods without a picture so far
    bool Discontinuity = false;
    LONGLONG CompletionTime = 0;  // host time
};

class PictureCollector {
public:
    PictureCollector(host::StreamClient& stream, ULONG imageSize, LONGLONG frameInterval, BufferPool& buffers);
    ~PictureCollector();  // stops the stream first if reads are still out
    PictureCollector(const PictureCollector&) = delete;
    PictureCollector& operator=(const PictureCollector&) = delete;

    // Makes the buffers of the reads that Collect keeps queued, before the stream runs: a
    // picture buffer filled for the first time costs its pages, which the first frame period
    // cannot spare at the largest format.
    void PrepareBuffers();
    // Hands each delivered picture to Take until Take returns false, a stop signal arrives,
    // or the stream fails. Take may move the pixels out; they come back through the pool.
    // The stream must be running; can be called again, the reads stay queued in between.
    // Returns "" or why the stream failed.
    std::string Collect(const std::function<bool(DeliveredPicture&)>& take);
    // One round of Collect for a caller with other work between rounds: keeps the reads
    // queued, waits a short while for pictures and hands each one that came to Take. No stall
    // limit. Returns "" or why the stream failed.
    std::string CollectOnce(const std::function<void(DeliveredPicture&)>& take);
    // After the stream was stopped: takes the remaining (cancelled) reads.
    void Drain();
    uint32_t Delivered() const { return delivered_; }

private:
    void KeepReadsQueued();
    // Queues, waits and takes what came; false with *failure set when the stream failed.
    bool Round(const std::function<bool(DeliveredPicture&)>& take, bool* more, std::string* failure);
    // One completed read; false with *failure set when it ends the capture.
    bool Take(const host::CompletedRead& read, const std::function<bool(DeliveredPicture&)>& take,
              bool* more, std::string* failure);

    host::StreamClient& stream_;
    ULONG imageSize_;
    LONGLONG frameInterval_;
    BufferPool& buffers_;
    std::map<uint64_t, std::vector<uint8_t>> outstanding_;  // read id -> its buffer
    uint32_t delivered_ = 0;
};

}  // namespace vexacam::tools
