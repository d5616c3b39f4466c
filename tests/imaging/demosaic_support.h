// Frames, pictures and vector-level helpers shared by the demosaic and frame-sequence tests.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "imaging/cpu_features.h"
#include "imaging/stage_bodies.h"

namespace vexacam::test {

struct FrameSize {
    uint32_t width;
    uint32_t height;
};

// The six advertised formats, largest first.
inline const std::vector<FrameSize>& AdvertisedSizes() {
    static const std::vector<FrameSize> sizes = {
        {2048, 1536}, {1600, 1200}, {1280, 1024}, {1024, 768}, {800, 600}, {640, 480}};
    return sizes;
}

// Small and odd shapes: widths that are odd multiples of 8, so every vector body also runs
// its leftover columns, and the smallest frame the stages accept.
inline const std::vector<FrameSize>& UnusualSizes() {
    static const std::vector<FrameSize> sizes = {
        {8, 4}, {24, 6}, {40, 4}, {72, 10}, {200, 8}, {648, 12}, {1000, 6}, {1032, 4}};
    return sizes;
}

inline std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(count);
    for (auto& byte : bytes) byte = static_cast<uint8_t>(generator());
    return bytes;
}

// Every vector level this machine can run, scalar first.
inline std::vector<VECTOR_LEVEL> AvailableLevels() {
    std::vector<VECTOR_LEVEL> levels;
    for (int level = VectorLevelScalar; level <= DetectedVectorLevel(); ++level) {
        levels.push_back(static_cast<VECTOR_LEVEL>(level));
    }
    return levels;
}

// Caps the vector level for the lifetime of the object.
class ScopedVectorLevel {
public:
    explicit ScopedVectorLevel(VECTOR_LEVEL level) { SelectStageBodies(level); }
    ~ScopedVectorLevel() { SelectStageBodies(VectorLevelAvx512); }
    ScopedVectorLevel(const ScopedVectorLevel&) = delete;
    ScopedVectorLevel& operator=(const ScopedVectorLevel&) = delete;
};

// Byte offset of pixel (row, column) in a bottom-up 24-bit picture.
inline size_t PixelOffset(uint32_t width, uint32_t row, uint32_t column) {
    return (static_cast<size_t>(row) * width + column) * 3;
}

}  // namespace vexacam::test
