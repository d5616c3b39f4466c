// Picture buffers shared between the capture loop and the writer's thread: buffers given back
// are handed out again, so a long capture allocates only while the writer's queue grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace vexacam::tools {

class BufferPool {
public:
    // A buffer of Size bytes (contents undefined).
    std::vector<uint8_t> Take(size_t size);
    void Give(std::vector<uint8_t> buffer);

private:
    std::mutex lock_;  // guards spare_
    std::vector<std::vector<uint8_t>> spare_;
};

}  // namespace vexacam::tools
