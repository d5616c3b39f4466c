// A recording of the delivered pictures into a video in the server's output directory
// (recording-NNNN.mkv or .avi), written by capture's own writer on a thread of its own, so
// the camera thread only copies a picture and hands it over. The video starts at the first
// picture recorded: its periods and time stamps count from there, and a period the driver
// dropped keeps the previous picture on screen, as in `vexacam capture --video`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tools/buffer_pool.h"
#include "tools/capture_writer.h"
#include "tools/picture_collector.h"

namespace vexacam::tools {

enum class VideoKind { Mkv, Avi };

struct RecordingFigures {
    bool Active = false;
    bool Finishing = false; // ended; the writer is still completing the file
    std::string Name;       // the file in the output directory; "" before the first recording
    std::string Directory;
    uint32_t Saved = 0;     // pictures in the video
    uint32_t Unsaved = 0;   // delivered while the writer could not keep up (the previous one stays)
    double Seconds = 0;     // length of the video so far
    std::string Problem;    // why the recording failed or ended on its own; ""
};

class Recording {
public:
    // Creates the file; a failure ends the request (CommandFailure, status 1).
    Recording(const std::string& path, const CaptureGeometry& geometry, BufferPool& buffers);
    ~Recording();  // Finish
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    // Camera thread: a copy of the picture joins the video.
    void Add(const DeliveredPicture& picture);
    // Completes the file. "" or the first failure.
    std::string Finish();
    // The writer's first failure so far (it writes no more after one), or "".
    std::string Failure() const { return writer_.Failure(); }
    // Active and Problem stay for the caller; the rest from the writer.
    void Fill(RecordingFigures* figures) const;

private:
    CaptureGeometry geometry_;
    BufferPool& buffers_;
    CaptureWriter writer_;
    uint32_t pictures_ = 0;
    LONGLONG firstPeriod_ = 0;
    LONGLONG firstTime_ = 0;
    LONGLONG lastPeriod_ = -1;  // counted from the first
};

}  // namespace vexacam::tools
