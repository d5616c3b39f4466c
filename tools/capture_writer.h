// Everything a capture writes, on a thread of its own, so the capture loop only hands a
// picture over and the driver never waits for a disk or an encoder: the pictures (BMP, PNG),
// the raw frames they were made from, the video, raw frames for another program on standard
// output, and the per-frame record.
//
// The queue is bounded in memory. A picture that finds it full is not saved: its pixels go
// back at once and only its record is written, so the program's own losses are counted apart
// from the driver's dropped periods, and the video shows the previous picture for its period.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/buffer_pool.h"
#include "tools/frame_record.h"
#include "tools/picture_collector.h"
#include "tools/replay_matcher.h"
#include "tools/video_file.h"

namespace vexacam::tools {

struct CaptureOutputs {
    std::string Directory;  // pictures, raw frames and frames.jsonl; "" with standard output
    bool Bmp = true;
    bool Png = false;
    bool Raw = false;
    std::string VideoPath;  // "" for none
    bool StandardOutput = false;  // upright bgr24 frames
    std::string GainMapFile;      // the calibration files copied beside the record, "" none
    std::string DefectTableFile;
};

struct CaptureGeometry {
    uint32_t Width = 0;
    uint32_t Height = 0;
    int64_t FrameInterval = 0;  // 100 ns
};

struct WriterCounts {
    uint32_t Saved = 0;     // pictures written
    uint32_t Unsaved = 0;   // delivered, but the writer could not keep up
    uint32_t RawSaved = 0;
    uint32_t ReplayChecked = 0;
};

// The name of picture Number (from 1) with the extension: frame-0001.bmp.
std::string PictureFileName(uint32_t number, const char* extension);
std::string RawFileName(uint32_t number);

class CaptureWriter {
public:
    // Opens the video; a failure ends the command (status 1). With --raw, Matcher finds each
    // picture's raw frame among its candidates (on the writer's thread).
    CaptureWriter(const CaptureOutputs& outputs, const CaptureGeometry& geometry, BufferPool& buffers,
                  std::unique_ptr<ReplayMatcher> matcher);
    ~CaptureWriter();  // finishes (see Finish)
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // Picture Number (from 1) with the state its settings were read in and, with --raw, the
    // newest raw frame read out when it arrived. Takes its pixels when there is room; otherwise
    // leaves them with the caller and records the picture unsaved.
    void Push(uint32_t number, DeliveredPicture& picture, const RenderState& polled, uint64_t newestRaw = 0);
    // Writes what is queued, completes the video and the record, stops the thread. The first
    // failure, or "".
    std::string Finish();
    // The first failure so far, or "" (the writer stops writing after one).
    std::string Failure() const;
    WriterCounts Counts() const;
    double CpuSeconds() const;

private:
    struct Entry {
        FrameRecord Record;
        std::vector<uint8_t> Pixels;  // empty: not saved
        uint64_t NewestRaw = 0;
    };
    void WriteLoop();
    std::string WriteEntry(Entry& entry);
    std::string WritePicture(Entry& entry);
    std::string WriteGap(const FrameRecord& record);
    // Pixels empty: the previous frame again.
    std::string WriteStandardOutput(const std::vector<uint8_t>& pixels, int64_t period);

    CaptureOutputs outputs_;
    CaptureGeometry geometry_;
    BufferPool& buffers_;
    std::unique_ptr<ReplayMatcher> matcher_;  // the thread's only
    std::unique_ptr<VideoFile> video_;        // the thread's only
    std::FILE* record_ = nullptr;             // the thread's only
    std::vector<uint8_t> upright_;            // the thread's only: the last frame sent to stdout
    int64_t lastStdoutPeriod_ = -1;
    size_t queueLimit_ = 0;                   // entries with pixels

    mutable std::mutex lock_;  // guards everything below
    std::condition_variable changed_;
    std::deque<Entry> queue_;
    size_t queuedPictures_ = 0;
    bool finishing_ = false;
    std::string failure_;
    WriterCounts counts_;
    double cpuSeconds_ = 0;
    std::thread thread_;  // last: started when the rest is ready
};

}  // namespace vexacam::tools
