// The scene's radiance model. Cheap enough to evaluate per pixel when the read-out window
// changes; frames are rendered from the result.
#include "camera/scene.h"

#include <cmath>

namespace camera {
namespace {

// Warm light: white objects come out reddish, blue ones dim (white balance has work to do).
constexpr float kColourCast[3] = {1.30f, 1.00f, 0.65f};

// A 6 x 4 colour chart, rows top to bottom, red/green/blue reflectance.
constexpr float kChart[4][6][3] = {
    {{0.45f, 0.32f, 0.26f}, {0.77f, 0.58f, 0.50f}, {0.36f, 0.48f, 0.61f},
     {0.35f, 0.42f, 0.25f}, {0.51f, 0.50f, 0.69f}, {0.40f, 0.74f, 0.67f}},
    {{0.84f, 0.48f, 0.16f}, {0.26f, 0.36f, 0.65f}, {0.76f, 0.33f, 0.38f},
     {0.36f, 0.24f, 0.42f}, {0.62f, 0.74f, 0.25f}, {0.88f, 0.63f, 0.18f}},
    {{0.17f, 0.24f, 0.58f}, {0.28f, 0.58f, 0.28f}, {0.69f, 0.20f, 0.23f},
     {0.93f, 0.78f, 0.12f}, {0.73f, 0.33f, 0.59f}, {0.05f, 0.52f, 0.65f}},
    {{0.95f, 0.95f, 0.95f}, {0.78f, 0.78f, 0.78f}, {0.63f, 0.63f, 0.63f},
     {0.47f, 0.47f, 0.47f}, {0.33f, 0.33f, 0.33f}, {0.20f, 0.20f, 0.20f}},
};

float LensFallOff(float column, float row) {
    float dx = (column - kSensorColumns / 2.0f) / 1280.0f;  // 1280: half the sensor diagonal
    float dy = (row - kSensorRows / 2.0f) / 1280.0f;
    return 1.0f - 0.4f * (dx * dx + dy * dy);
}

float ChartReflectance(float u, float v, BayerChannel channel) {
    float cu = (u - 0.30f) / 0.40f * 6.0f;
    float cv = (v - 0.30f) / 0.32f * 4.0f;
    int patchColumn = static_cast<int>(cu);
    int patchRow = static_cast<int>(cv);
    float inU = cu - patchColumn;
    float inV = cv - patchRow;
    if (inU < 0.1f || inU > 0.9f || inV < 0.1f || inV > 0.9f) return 0.03f;  // black gaps
    return kChart[patchRow][patchColumn][channel];
}

float Reflectance(float column, float row, BayerChannel channel) {
    float u = column / kSensorColumns;
    float v = row / kSensorRows;
    if (u >= 0.30f && u < 0.70f && v >= 0.30f && v < 0.62f) return ChartReflectance(u, v, channel);
    if (v > 0.82f) return 0.05f + 0.9f * u;  // grey ramp along the bottom
    if (u < 0.20f && v > 0.20f && v < 0.80f) {
        // Stripes getting finer downwards: detail for demosaicing and sharpening.
        return 0.45f + 0.35f * std::sin(column * (0.05f + 0.6f * v));
    }
    if (u > 0.85f && v > 0.20f && v < 0.80f) {
        bool dark = ((static_cast<int>(column) / 32) + (static_cast<int>(row) / 32)) & 1;
        return dark ? 0.10f : 0.80f;
    }
    return 0.50f - 0.15f * v;  // the wall, lit from above
}

}  // namespace

float SceneIrradiance(float column, float row, BayerChannel channel) {
    return Reflectance(column, row, channel) * kColourCast[channel] * LensFallOff(column, row);
}

float SceneIrradiance(SceneKind scene, float column, float row, BayerChannel channel) {
    constexpr float kGreyCard = 0.45f;
    switch (scene) {
        case SceneKind::Chart: return SceneIrradiance(column, row, channel);
        case SceneKind::Flat: return kGreyCard * kColourCast[channel] * LensFallOff(column, row);
        case SceneKind::Dark: return 0.0f;
    }
    return 0.0f;
}

MovingBall BallAtFrame(uint64_t frame) {
    MovingBall ball{};
    ball.Radius = 48.0f;
    float travel = kSensorColumns + 2 * ball.Radius;
    ball.Column = std::fmod(static_cast<float>(frame % 100000) * 16.0f, travel) - ball.Radius;
    ball.Row = 260.0f + 60.0f * std::sin(static_cast<float>(frame % 100000) * 0.15f);
    ball.Reflectance[kRed] = 0.95f;
    ball.Reflectance[kGreen] = 0.55f;
    ball.Reflectance[kBlue] = 0.10f;
    return ball;
}

float BallIrradiance(const MovingBall& ball, float column, float row, BayerChannel channel) {
    return ball.Reflectance[channel] * kColourCast[channel] * LensFallOff(column, row);
}

}  // namespace camera
