#include "tools/buffer_pool.h"

#include <utility>

namespace vexacam::tools {

std::vector<uint8_t> BufferPool::Take(size_t size) {
    std::vector<uint8_t> buffer;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!spare_.empty()) {
            buffer = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    buffer.resize(size);
    return buffer;
}

void BufferPool::Give(std::vector<uint8_t> buffer) {
    if (buffer.capacity() == 0) return;
    std::lock_guard<std::mutex> hold(lock_);
    spare_.push_back(std::move(buffer));
}

}  // namespace vexacam::tools
