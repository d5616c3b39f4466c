// Sensor read-out rendering.
#include "camera/sensor.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>

namespace camera {
namespace {

constexpr uint32_t kNoiseLength = 1u << 18;  // power of two: the offset wraps with a mask
constexpr float kFixedOne = 4096.0f;
constexpr uint8_t kBlackLevel = 2;
constexpr int kDefectsOfEachKind = 12;
constexpr size_t kSensorPixels = size_t{kSensorColumns} * kSensorRows;
// Windows at least this large render their irradiance on two threads.
constexpr size_t kSplitRenderPixels = 512 * 1024;

BayerChannel ChannelAt(uint32_t x, uint32_t y) {
    if ((y & 1) == 0) return (x & 1) == 0 ? kRed : kGreen;
    return (x & 1) == 0 ? kGreen : kBlue;
}

uint64_t Mix(uint64_t value) {  // splitmix64 finaliser: per-frame offsets without state
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

}  // namespace

ReadoutGeometry MakeGeometry(uint32_t width, uint32_t height, uint32_t windowX, uint32_t windowY,
                             uint32_t readoutMode) {
    ReadoutGeometry g;
    g.Width = width;
    g.Height = height;
    g.WindowX = windowX;
    g.WindowY = windowY;
    g.DoubleColumns = readoutMode == 1 && width <= 1024;
    g.DoubleRows = readoutMode == 1 && height <= 768;
    return g;
}

uint8_t ExposedLevel(float irradiance, uint32_t exposal, uint8_t gain) {
    double level = kBlackLevel + static_cast<double>(irradiance) * exposal * gain / 125.0;
    return static_cast<uint8_t>(std::min(255.0, level));
}

Sensor::Sensor(uint32_t seed, double noiseSigma, SceneKind scene)
    : scene_(scene), irradiance_(kSensorPixels), base_(kSensorPixels), noise_(kNoiseLength) {
    // The window buffers start at the whole sensor's size and never shrink: the first render
    // of a window, at a run's start, then writes to memory the system has already handed over.
    // Near-Gaussian read noise from the sum of four uniform bytes (variance 4 x 5461.25),
    // cheap enough to build a long table whenever a camera is plugged in.
    uint64_t state = Mix(seed);
    double scale = noiseSigma / std::sqrt(4 * 5461.25);
    for (size_t i = 0; i < noise_.size(); ++i) {
        state = Mix(state);
        int sum = static_cast<int>(state & 0xFF) + static_cast<int>((state >> 8) & 0xFF) +
                  static_cast<int>((state >> 16) & 0xFF) + static_cast<int>((state >> 24) & 0xFF);
        long value = std::lround((sum - 510) * scale);
        noise_[i] = static_cast<int8_t>(std::clamp(value, -127L, 127L));
    }
    std::mt19937 random(seed);
    std::uniform_int_distribution<uint32_t> column(16, kSensorColumns - 17);
    std::uniform_int_distribution<uint32_t> row(16, kSensorRows - 17);
    for (int i = 0; i < 2 * kDefectsOfEachKind; ++i) {
        defects_.push_back({column(random), row(random), i < kDefectsOfEachKind ? uint8_t{255} : uint8_t{0}});
    }
}

void Sensor::Configure(const ReadoutGeometry& geometry, uint32_t exposal, uint8_t gain) {
    if (!configured_ || !(geometry == geometry_)) windowStale_ = true;
    if (!configured_ || exposal != exposal_ || gain != gain_) exposureStale_ = true;
    geometry_ = geometry;
    exposal_ = exposal;
    gain_ = gain;
    configured_ = true;
}

void Sensor::SetScene(SceneKind scene) {
    if (scene == scene_) return;
    scene_ = scene;
    windowStale_ = true;
}

// A new window renders while the run command waits and the first read-out draws near: the
// lower half of a large window goes to a second thread.
void Sensor::RenderIrradiance() {
    irradiance_.resize(FrameBytes());
    if (FrameBytes() < kSplitRenderPixels) {
        RenderIrradianceRows(0, geometry_.Height);
        return;
    }
    const uint32_t middle = geometry_.Height / 2;
    std::thread lower([this, middle] { RenderIrradianceRows(middle, geometry_.Height); });
    RenderIrradianceRows(0, middle);
    lower.join();
}

void Sensor::RenderIrradianceRows(uint32_t first, uint32_t last) {
    uint16_t* out = irradiance_.data() + size_t{first} * geometry_.Width;
    for (uint32_t y = first; y < last; ++y) {
        uint32_t row = SensorRow(geometry_, y);
        for (uint32_t x = 0; x < geometry_.Width; ++x, ++out) {
            uint32_t column = SensorColumn(geometry_, x);
            if (row >= kSensorRows || column >= kSensorColumns) {
                *out = 0;  // outside the sensor area nothing is read
                continue;
            }
            float value = SceneIrradiance(scene_, static_cast<float>(column),
                                          static_cast<float>(row), ChannelAt(x, y));
            *out = static_cast<uint16_t>(std::clamp(value * kFixedOne, 0.0f, 65535.0f));
        }
    }
}

void Sensor::RenderBase() {
    base_.resize(irradiance_.size());
    for (size_t i = 0; i < irradiance_.size(); ++i) base_[i] = levelOf_[irradiance_[i]];
}

void Sensor::LocateDefects() {
    defectPixels_.clear();
    for (const Defect& defect : defects_) {
        if (defect.Column < geometry_.WindowX || defect.Row < geometry_.WindowY) continue;
        uint32_t dx = defect.Column - geometry_.WindowX;
        uint32_t dy = defect.Row - geometry_.WindowY;
        if (geometry_.DoubleColumns) {
            if ((dx & 3) >= 2) continue;  // a skipped column pair
            dx = (dx / 4) * 2 + (dx & 1);
        }
        if (geometry_.DoubleRows) {
            if ((dy & 3) >= 2) continue;
            dy = (dy / 4) * 2 + (dy & 1);
        }
        if (dx < geometry_.Width && dy < geometry_.Height) {
            defectPixels_.push_back({dy * geometry_.Width + dx, defect.Level});
        }
    }
}

void Sensor::PrepareWindow() {
    if (!windowStale_) return;
    RenderIrradiance();
    LocateDefects();
    windowStale_ = false;
    exposureStale_ = true;  // the base frame follows the new irradiance
}

void Sensor::Prepare() {
    PrepareWindow();
    if (exposureStale_) {
        levelOf_.resize(65536);
        for (uint32_t i = 0; i < levelOf_.size(); ++i) {
            levelOf_[i] = ExposedLevel(i / kFixedOne, exposal_, gain_);
        }
        RenderBase();
        exposureStale_ = false;
    }
}

void Sensor::RenderFrame(uint64_t frameNumber, uint8_t* out) {
    Prepare();
    AddNoise(frameNumber, out);
    if (scene_ == SceneKind::Chart) DrawBall(frameNumber, out);
    for (const auto& [offset, level] : defectPixels_) out[offset] = level;
}

void Sensor::AddNoise(uint64_t frameNumber, uint8_t* out) const {
    const uint8_t* base = base_.data();
    size_t size = base_.size();
    uint32_t start = static_cast<uint32_t>(Mix(frameNumber)) & (kNoiseLength - 1);
    for (size_t done = 0; done < size;) {
        size_t run = std::min<size_t>(size - done, kNoiseLength - start);
        const int8_t* noise = noise_.data() + start;
        for (size_t i = 0; i < run; ++i) {
            int value = base[done + i] + noise[i];
            out[done + i] = static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
        }
        done += run;
        start = 0;
    }
}

void Sensor::DrawBall(uint64_t frameNumber, uint8_t* out) const {
    MovingBall ball = BallAtFrame(frameNumber);
    float stepX = geometry_.DoubleColumns ? 2.0f : 1.0f;
    float stepY = geometry_.DoubleRows ? 2.0f : 1.0f;
    // Frame rows and columns that can see the ball (a frame pixel covers stepX sensor columns).
    float left = (ball.Column - ball.Radius - static_cast<float>(geometry_.WindowX)) / stepX - 2;
    float right = (ball.Column + ball.Radius - static_cast<float>(geometry_.WindowX)) / stepX + 2;
    float top = (ball.Row - ball.Radius - static_cast<float>(geometry_.WindowY)) / stepY - 2;
    float bottom = (ball.Row + ball.Radius - static_cast<float>(geometry_.WindowY)) / stepY + 2;
    uint32_t x0 = static_cast<uint32_t>(std::clamp(left, 0.0f, static_cast<float>(geometry_.Width)));
    uint32_t x1 = static_cast<uint32_t>(std::clamp(right, 0.0f, static_cast<float>(geometry_.Width)));
    uint32_t y0 = static_cast<uint32_t>(std::clamp(top, 0.0f, static_cast<float>(geometry_.Height)));
    uint32_t y1 = static_cast<uint32_t>(std::clamp(bottom, 0.0f, static_cast<float>(geometry_.Height)));
    float radius2 = ball.Radius * ball.Radius;
    for (uint32_t y = y0; y < y1; ++y) {
        float row = static_cast<float>(SensorRow(geometry_, y));
        for (uint32_t x = x0; x < x1; ++x) {
            float column = static_cast<float>(SensorColumn(geometry_, x));
            float dx = column - ball.Column;
            float dy = row - ball.Row;
            if (dx * dx + dy * dy > radius2 || row >= kSensorRows || column >= kSensorColumns) continue;
            float irradiance = BallIrradiance(ball, column, row, ChannelAt(x, y));
            out[y * geometry_.Width + x] = ExposedLevel(irradiance, exposal_, gain_);
        }
    }
}

}  // namespace camera
