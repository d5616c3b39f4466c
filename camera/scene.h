// The scene in front of the sensor: a wall with a colour chart, fine stripes, a checkerboard and
// a grey ramp, lit with a warm colour cast and seen through a lens that darkens the corners,
// plus a ball that moves from frame to frame.
#pragma once

#include <cstdint>

namespace camera {

constexpr uint32_t kSensorColumns = 2048;
constexpr uint32_t kSensorRows = 1536;

enum BayerChannel { kRed = 0, kGreen = 1, kBlue = 2 };

// What is in front of the lens: the chart scene below, an evenly lit grey card (what a
// flat-field calibration is taken of), or nothing at all (the lens capped, for dark frames).
enum class SceneKind { Chart, Flat, Dark };

// Light reaching the sensor at (column, row) through the channel's filter, cast and lens
// fall-off included: 0 is black, about 1.3 the brightest warm white.
float SceneIrradiance(float column, float row, BayerChannel channel);
// The same for the grey card, or for the capped lens (always 0).
float SceneIrradiance(SceneKind scene, float column, float row, BayerChannel channel);

struct MovingBall {
    float Column, Row, Radius;  // sensor coordinates
    float Reflectance[3];       // red, green, blue
};
MovingBall BallAtFrame(uint64_t frame);
// The ball's irradiance at a sensor position, same scale as SceneIrradiance.
float BallIrradiance(const MovingBall& ball, float column, float row, BayerChannel channel);

}  // namespace camera
