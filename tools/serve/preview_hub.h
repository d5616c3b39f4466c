// One camera, many viewers. The capture thread offers each delivered picture and never waits:
// a picture the encoder has not taken yet is replaced by the newer one. The encoder thread
// scales and encodes the newest picture once, and every viewer takes the newest JPEG when it is
// ready for one, so a slow viewer skips pictures for itself alone and never holds up the
// capture, the encoder or the other viewers.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/buffer_pool.h"
#include "tools/serve/preview_encoder.h"

namespace vexacam::tools {

struct PreviewFrame {
    uint64_t Sequence = 0;  // grows by one per encoded picture
    std::shared_ptr<const std::string> Jpeg;
};

// A copy of the newest full picture, for snapshots.
struct FullPicture {
    uint32_t Width = 0;
    uint32_t Height = 0;
    std::vector<uint8_t> Pixels;  // bottom-up BGR
};

struct PreviewFigures {
    uint64_t Encoded = 0;         // pictures scaled, counted and encoded since the picture size last changed
    uint64_t Replaced = 0;        // offered pictures a newer one replaced before the encoder took them
    double EncoderCpuSeconds = 0; // the encoder thread's processor time for the Encoded pictures
    uint32_t ShownWidth = 0;
    uint32_t ShownHeight = 0;
    ChannelHistogram Histogram{};
};

class PreviewHub {
public:
    PreviewHub(BufferPool& buffers, PreviewSize limit);
    ~PreviewHub();  // Stop
    PreviewHub(const PreviewHub&) = delete;
    PreviewHub& operator=(const PreviewHub&) = delete;

    // Capture thread: takes the picture's pixels (Pixels is left empty); they go back to the
    // pool once a newer picture replaces them.
    void Offer(std::vector<uint8_t>& pixels, uint32_t width, uint32_t height);

    // Viewers. While one is registered the encoder scales, counts and encodes each picture it
    // takes; without one it only keeps the newest for snapshots.
    // False when Limit viewers are registered already.
    bool AddViewer(size_t limit);
    void RemoveViewer();
    bool Stopped() const;
    size_t Viewers() const;
    // Waits up to TimeoutMs for a JPEG newer than After. False on time-out or once stopped.
    bool WaitForFrame(uint64_t after, int timeoutMs, PreviewFrame* frame);

    // False when no picture arrived yet.
    bool CopyNewest(FullPicture* picture) const;
    PreviewFigures Figures() const;

    // Wakes every waiting viewer for good and ends the encoder thread.
    void Stop();

private:
    void EncodeLoop();

    BufferPool& buffers_;
    const PreviewSize limit_;
    mutable std::mutex lock_;  // guards everything below
    std::condition_variable offered_;
    std::condition_variable encoded_;
    bool stopping_ = false;
    size_t viewers_ = 0;
    FullPicture pending_;  // offered, not yet taken by the encoder
    FullPicture newest_;   // the last one encoded
    PreviewFrame frame_;
    PreviewFigures figures_;
    std::thread encoder_;  // last: starts once the rest is made
};

}  // namespace vexacam::tools
