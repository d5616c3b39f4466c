// The sensor read-out: which sensor pixels a frame samples, how bright they come out for an
// exposure and gain, and the per-frame changes (noise, the moving ball, defective pixels).
// The expensive work happens only when the window or the exposure changes: the window's
// irradiance is evaluated once, the exposure turns it into a base frame through a table, and
// each frame is the base plus noise from a pre-computed table, the ball and the defects.
#pragma once

#include <cstdint>
#include <vector>

#include "camera/scene.h"

namespace camera {

struct ReadoutGeometry {
    uint32_t Width = 2048;
    uint32_t Height = 1536;
    uint32_t WindowX = 0;
    uint32_t WindowY = 0;
    bool DoubleColumns = false;  // read-out mode 1 with a frame at most 1024 wide
    bool DoubleRows = false;     // read-out mode 1 with a frame at most 768 high
    bool operator==(const ReadoutGeometry&) const = default;
};

// Read-out mode 1 doubles each dimension that is small enough.
ReadoutGeometry MakeGeometry(uint32_t width, uint32_t height, uint32_t windowX, uint32_t windowY,
                             uint32_t readoutMode);

// Sensor column of frame column x: in doubled mode, pairs of columns are read and the next
// pair skipped, so the colour pattern stays red-green / green-blue.
inline uint32_t SensorColumn(const ReadoutGeometry& g, uint32_t x) {
    return g.WindowX + (g.DoubleColumns ? (x / 2) * 4 + (x & 1) : x);
}
inline uint32_t SensorRow(const ReadoutGeometry& g, uint32_t y) {
    return g.WindowY + (g.DoubleRows ? (y / 2) * 4 + (y & 1) : y);
}

// Grey level for an irradiance: black level plus irradiance x exposure x gain / 125, clipped.
uint8_t ExposedLevel(float irradiance, uint32_t exposal, uint8_t gain);

class Sensor {
public:
    Sensor(uint32_t seed, double noiseSigma, SceneKind scene = SceneKind::Chart);

    // Takes the read-out settings; what they change is re-rendered at the next frame.
    void Configure(const ReadoutGeometry& geometry, uint32_t exposal, uint8_t gain);
    // What the camera looks at from the next frame on.
    void SetScene(SceneKind scene);
    SceneKind Scene() const { return scene_; }
    const ReadoutGeometry& Geometry() const { return geometry_; }
    uint32_t FrameBytes() const { return geometry_.Width * geometry_.Height; }
    // Renders what the last Configure changed, so the next frame costs only its noise.
    void Prepare();
    // Writes frame `frameNumber` (FrameBytes bytes, row 0 first).
    void RenderFrame(uint64_t frameNumber, uint8_t* out);

    struct Defect {
        uint32_t Column, Row;
        uint8_t Level;  // 255 hot, 0 dead
    };
    const std::vector<Defect>& Defects() const { return defects_; }

private:
    void PrepareWindow();  // the slow part: irradiance and defect positions of a new window
    void RenderIrradiance();
    void RenderIrradianceRows(uint32_t first, uint32_t last);
    void RenderBase();
    void LocateDefects();
    void AddNoise(uint64_t frameNumber, uint8_t* out) const;
    void DrawBall(uint64_t frameNumber, uint8_t* out) const;

    ReadoutGeometry geometry_;
    SceneKind scene_;
    uint32_t exposal_ = 0;
    uint8_t gain_ = 0;
    bool configured_ = false;
    bool windowStale_ = true;    // irradiance and defect positions need rendering
    bool exposureStale_ = true;  // the level table and base frame need rendering
    std::vector<uint16_t> irradiance_;  // per frame pixel, 4096 = 1.0
    std::vector<uint8_t> levelOf_;      // irradiance -> grey level for the current exposure
    std::vector<uint8_t> base_;         // the frame without noise, ball or defects
    std::vector<int8_t> noise_;         // a long run of read noise, entered at a per-frame offset
    std::vector<Defect> defects_;                  // sensor positions
    std::vector<std::pair<uint32_t, uint8_t>> defectPixels_;  // frame offsets in this window
};

}  // namespace camera
