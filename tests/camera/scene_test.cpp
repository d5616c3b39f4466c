// The picture the sensor delivers: it must give every pipeline feature something real to do.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "camera/sensor.h"
#include "imaging/exposure.h"

namespace {

using camera::MakeGeometry;
using camera::Sensor;

struct ChannelMeans {
    double Red = 0, Green = 0, Blue = 0;
};

ChannelMeans MeansOf(const std::vector<uint8_t>& frame, uint32_t width, uint32_t height,
                     uint32_t x0, uint32_t y0, uint32_t w, uint32_t h) {
    ChannelMeans m;
    double n = 0;
    for (uint32_t y = y0; y < y0 + h; y += 2) {
        for (uint32_t x = x0; x < x0 + w; x += 2) {
            m.Red += frame[y * width + x];
            m.Green += frame[y * width + x + 1];
            m.Blue += frame[(y + 1) * width + x + 1];
            n++;
        }
    }
    m.Red /= n;
    m.Green /= n;
    m.Blue /= n;
    return m;
}

std::vector<uint8_t> Render(Sensor& sensor, uint64_t frame) {
    std::vector<uint8_t> out(sensor.FrameBytes());
    sensor.RenderFrame(frame, out.data());
    return out;
}

TEST(SceneTest, BrightnessFollowsExposureAndGain) {
    Sensor sensor(1, 0.0);
    auto meanAt = [&](uint32_t exposal, uint8_t gain) {
        sensor.Configure(MakeGeometry(640, 480, 704, 528, 0), exposal, gain);
        return MeansOf(Render(sensor, 1), 640, 480, 0, 0, 640, 480).Green;
    };
    double base = meanAt(200, 25);
    EXPECT_NEAR(meanAt(400, 25) - 2, 2 * (base - 2), 2.0);  // linear above the black level
    EXPECT_NEAR(meanAt(200, 50) - 2, 2 * (base - 2), 2.0);
    EXPECT_LE(meanAt(0, 25), 2.0);
}

TEST(SceneTest, AutomaticExposureConvergesInsideTheExposureRange) {
    for (UCHAR lightModel : {1, 2, 3}) {
        Sensor sensor(1, 1.5);
        ULONG exposal = 100;
        for (int step = 0; step < 12; ++step) {
            sensor.Configure(MakeGeometry(2048, 1536, 0, 0, 0), exposal, 25);
            std::vector<uint8_t> frame = Render(sensor, step);
            LONG proposal = ProposeExposure(2048, 1536, frame.data(), 5000, exposal, lightModel);
            if (proposal == ExposureDouble) proposal = static_cast<LONG>(2 * exposal);
            if (proposal > 0) exposal = std::min<ULONG>(static_cast<ULONG>(proposal), 5000);
        }
        sensor.Configure(MakeGeometry(2048, 1536, 0, 0, 0), exposal, 25);
        std::vector<uint8_t> frame = Render(sensor, 99);
        EXPECT_GE(exposal, 1u);
        EXPECT_LT(exposal, 5000u) << "light model " << int(lightModel);
        EXPECT_EQ(ProposeExposure(2048, 1536, frame.data(), 5000, exposal, lightModel),
                  static_cast<LONG>(exposal))
            << "light model " << int(lightModel) << " settled at " << exposal;
    }
}

TEST(SceneTest, WarmCastAndDarkCorners) {
    Sensor sensor(1, 0.0);
    sensor.Configure(MakeGeometry(2048, 1536, 0, 0, 0), 1500, 25);
    std::vector<uint8_t> frame = Render(sensor, 1);
    // The wall above the chart: grey paint under warm light.
    ChannelMeans wall = MeansOf(frame, 2048, 1536, 800, 100, 400, 100);
    EXPECT_GT(wall.Red, wall.Green * 1.15);
    EXPECT_LT(wall.Blue, wall.Green * 0.8);
    ChannelMeans centre = MeansOf(frame, 2048, 1536, 700, 150, 64, 64);
    ChannelMeans corner = MeansOf(frame, 2048, 1536, 0, 0, 64, 64);
    EXPECT_LT(corner.Green, centre.Green * 0.85);
}

TEST(SceneTest, DefectsNoiseAndTheBallChangeFramesAsTheyShould) {
    Sensor sensor(7, 1.5);
    sensor.Configure(MakeGeometry(2048, 1536, 0, 0, 0), 1500, 25);
    std::vector<uint8_t> a = Render(sensor, 1);
    std::vector<uint8_t> b = Render(sensor, 2);
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); ++i) differing += a[i] != b[i];
    EXPECT_GT(differing, a.size() / 4);  // read noise everywhere
    for (const Sensor::Defect& d : sensor.Defects()) {
        EXPECT_EQ(a[d.Row * 2048 + d.Column], d.Level);
        EXPECT_EQ(b[d.Row * 2048 + d.Column], d.Level);
    }
    camera::MovingBall ball1 = camera::BallAtFrame(1);
    camera::MovingBall ball2 = camera::BallAtFrame(2);
    EXPECT_NE(ball1.Column, ball2.Column);
}

TEST(SceneTest, DoubledReadoutKeepsTheColourPattern) {
    Sensor full(1, 0.0);
    full.Configure(MakeGeometry(2048, 1536, 0, 0, 0), 1500, 25);
    std::vector<uint8_t> whole = Render(full, 1);
    Sensor binned(1, 0.0);
    binned.Configure(MakeGeometry(1024, 768, 0, 0, 1), 1500, 25);
    std::vector<uint8_t> half = Render(binned, 1);
    // Frame (x, y) reads sensor (x/2*4 + x%2, y/2*4 + y%2): same Bayer site, same value.
    for (uint32_t y : {100u, 101u, 401u}) {
        for (uint32_t x : {300u, 301u, 700u}) {
            uint32_t sx = x / 2 * 4 + x % 2;
            uint32_t sy = y / 2 * 4 + y % 2;
            EXPECT_EQ(half[y * 1024 + x], whole[sy * 2048 + sx]) << x << "," << y;
        }
    }
}

// Rendering ahead (when a run starts) and rendering at read-out must give the same frame,
// whatever changed in between: a stale window or exposure left over would show here.
TEST(SceneTest, AFramePreparedAheadEqualsOneRenderedAtReadOut) {
    struct Settings {
        uint32_t Width, Height, WindowX, WindowY, Exposal;
    };
    struct Case {
        const char* Name;
        Settings Before, After;  // Prepare runs between the two
    };
    const Case cases[] = {
        {"nothing changes", {640, 480, 704, 528, 300}, {640, 480, 704, 528, 300}},
        {"exposure changes", {640, 480, 704, 528, 300}, {640, 480, 704, 528, 900}},
        {"window changes", {640, 480, 704, 528, 300}, {800, 600, 624, 468, 300}},
        {"both change", {640, 480, 704, 528, 300}, {800, 600, 0, 0, 900}},
    };
    for (const Case& c : cases) {
        auto configure = [](Sensor& sensor, const Settings& s) {
            sensor.Configure(MakeGeometry(s.Width, s.Height, s.WindowX, s.WindowY, 0), s.Exposal,
                             25);
        };
        Sensor ahead(3, 1.5);
        configure(ahead, c.Before);
        ahead.Prepare();
        configure(ahead, c.After);
        ahead.Prepare();
        Sensor atReadOut(3, 1.5);
        configure(atReadOut, c.After);
        EXPECT_EQ(Render(ahead, 5), Render(atReadOut, 5)) << c.Name;
    }
}

// A large window renders in two halves on two threads; each half, the rows at the seam
// included, must come out as a small window over the same sensor pixels renders it.
TEST(SceneTest, ALargeWindowRendersAsSmallWindowsOverTheSameSensorPixels) {
    constexpr uint32_t kSmall = 64;
    Sensor whole(5, 0.0);
    whole.Configure(MakeGeometry(2048, 1536, 0, 0, 0), 400, 25);
    const std::vector<uint8_t> large = Render(whole, 9);
    const uint32_t tops[] = {0, 736, 768 - kSmall, 768, 1536 - kSmall};
    for (uint32_t top : tops) {
        for (uint32_t left : {0u, 1024u, 2048u - kSmall}) {
            Sensor part(5, 0.0);
            part.Configure(MakeGeometry(kSmall, kSmall, left, top, 0), 400, 25);
            const std::vector<uint8_t> small = Render(part, 9);
            for (uint32_t y = 0; y < kSmall; ++y) {
                const uint8_t* row = &large[(top + y) * 2048 + left];
                ASSERT_TRUE(std::equal(row, row + kSmall, &small[y * kSmall]))
                    << "window at " << left << "," << top << " row " << y;
            }
        }
    }
}

// A camera pointed at another scene while it runs renders exactly what a camera made for that
// scene renders, from the next frame on, and back.
TEST(SceneTest, ASceneShownLaterEqualsOneShownFromTheStart) {
    const camera::SceneKind scenes[] = {camera::SceneKind::Chart, camera::SceneKind::Flat, camera::SceneKind::Dark};
    for (camera::SceneKind from : scenes) {
        for (camera::SceneKind to : scenes) {
            Sensor moved(3, 1.5, from);
            moved.Configure(MakeGeometry(640, 480, 704, 528, 0), 300, 25);
            Render(moved, 1);
            moved.SetScene(to);
            EXPECT_EQ(moved.Scene(), to);
            Sensor fresh(3, 1.5, to);
            fresh.Configure(MakeGeometry(640, 480, 704, 528, 0), 300, 25);
            EXPECT_EQ(Render(moved, 2), Render(fresh, 2)) << static_cast<int>(from) << " -> " << static_cast<int>(to);
        }
    }
}

}  // namespace
