// Helpers for the colour and tone stage tests: frames, random content, vector levels.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "imaging/cpu_features.h"
#include "imaging/stage_bodies.h"

namespace vexacam::test::colour {

struct FrameSize {
    ULONG Width;
    ULONG Height;
};

// Every frame size the camera advertises.
inline const FrameSize kAdvertisedSizes[] = {{2048, 1536}, {1600, 1200}, {1280, 1024},
                                             {1024, 768},  {800, 600},   {640, 480}};

inline std::vector<UCHAR> RandomBytes(size_t Count, std::mt19937& Random) {
    std::vector<UCHAR> Bytes(Count);
    for (auto& Byte : Bytes) Byte = static_cast<UCHAR>(Random());
    return Bytes;
}

inline std::vector<UCHAR> UniformFrame(FrameSize Size, UCHAR Level) {
    return std::vector<UCHAR>(static_cast<size_t>(Size.Width) * Size.Height, Level);
}

// The vector levels above scalar that this machine runs.
inline std::vector<VECTOR_LEVEL> VectorLevelsPresent() {
    std::vector<VECTOR_LEVEL> Levels;
    for (LONG Level = VectorLevelSse2; Level <= DetectedVectorLevel(); ++Level) {
        Levels.push_back(static_cast<VECTOR_LEVEL>(Level));
    }
    return Levels;
}

// Runs the stage at one level only for the scope of the object.
class VectorLevelScope {
public:
    explicit VectorLevelScope(VECTOR_LEVEL Level) { SelectStageBodies(Level); }
    ~VectorLevelScope() { SelectStageBodies(VectorLevelAvx512); }
    VectorLevelScope(const VectorLevelScope&) = delete;
    VectorLevelScope& operator=(const VectorLevelScope&) = delete;
};

}  // namespace vexacam::test::colour
