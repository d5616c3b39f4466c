// Writes delivered pictures to files on a thread of its own, so that the capture loop hands a
// buffer over and queues the next read at once: encoding a PNG takes longer than a frame
// period at the higher frame rates. Files: <dir>/frame-0001.bmp (.png) ..., and the frames of
// an AVI, in the order the pictures were delivered.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/avi_file.h"
#include "tools/write_queue.h"

namespace vexacam::tools {

struct PictureFiles {
    std::string Directory;  // where frame-NNNN.* go
    bool Bmp = true;
    bool Png = false;
    std::string VideoPath;  // empty: no AVI
};

struct PictureGeometry {
    uint32_t Width = 0;
    uint32_t Height = 0;
    int64_t FrameInterval = 0;  // 100 ns
};

// The name of picture Number (from 1) with the extension: frame-0001.bmp.
std::string PictureFileName(uint32_t number, const char* extension);

class PictureWriter {
public:
    // Opens the AVI if one is asked for. Null with *problem set on failure.
    static std::unique_ptr<PictureWriter> Start(const PictureFiles& files,
                                                const PictureGeometry& geometry,
                                                std::string* problem);
    ~PictureWriter();  // finishes (see Finish)
    PictureWriter(const PictureWriter&) = delete;
    PictureWriter& operator=(const PictureWriter&) = delete;

    // A buffer of the picture size: a recycled one when the writer has given one back.
    std::vector<uint8_t> TakeBuffer(size_t size);
    // Queues picture Number (from 1) for writing; the buffer comes back through TakeBuffer.
    void Write(uint32_t number, std::vector<uint8_t> pixels);
    // Pictures queued and not yet written.
    size_t Backlog() const;
    // Writes what is queued, finishes the AVI and stops the thread. The first failure, or "".
    std::string Finish();
    // The first failure so far, or "" (the writer stops writing after one).
    std::string Failure() const;
    // Processor time the writing took, in seconds.
    double CpuSeconds() const;

private:
    PictureWriter() = default;
    std::string WriteOne(uint32_t number, const std::vector<uint8_t>& pixels);

    PictureFiles files_;
    PictureGeometry geometry_;
    std::unique_ptr<AviFile> avi_;       // used only by the queue's thread
    std::unique_ptr<WriteQueue> queue_;  // last: its thread stops before the rest goes
};

}  // namespace vexacam::tools
