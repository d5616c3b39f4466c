// vexacam capture, run as a program: the pictures it leaves for every advertised format, the
// PNG, raw and AVI outputs, and the video read back by ffprobe and ffmpeg.
#include <string>

#include "cli/program_runner.h"

namespace vexacam_cli_test {
namespace {

struct FormatCase {
    uint32_t Width, Height;
    int Frames;
};

// Few frames of the big sizes: sanitizer builds take a while over each.
const FormatCase kFormats[] = {
    {2048, 1536, 2}, {1600, 1200, 2}, {1280, 1024, 2},
    {1024, 768, 3},  {800, 600, 3},   {640, 480, 4},
};

class CaptureFormats : public ProgramTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(CaptureFormats, WritesTheAskedNumberOfBitmapsOfTheFormatsSize) {
    const FormatCase& c = GetParam();
    const std::string size = std::to_string(c.Width) + "x" + std::to_string(c.Height);
    const ProgramRun run = Run("capture --format " + size + " --frames " + std::to_string(c.Frames) +
                               " --output shots" + MachineOption());
    ASSERT_EQ(run.Status, 0) << run.Errors;
    int bitmaps = 0;
    for (const auto& entry : fs::directory_iterator(Path("shots"))) {
        if (entry.path().filename() == "frames.jsonl") continue;
        ASSERT_EQ(entry.path().extension(), ".bmp") << entry.path();
        ++bitmaps;
    }
    EXPECT_EQ(bitmaps, c.Frames);
    for (int n = 1; n <= c.Frames; ++n) {
        char name[32];
        std::snprintf(name, sizeof(name), "frame-%04d.bmp", n);
        const auto bmp = ReadBytes(Path("shots") / name);
        ASSERT_EQ(bmp.size(), 54u + size_t{c.Width} * c.Height * 3) << name;
        EXPECT_EQ(Le32(bmp, 18), c.Width);
        EXPECT_EQ(Le32(bmp, 22), c.Height) << "positive: bottom-up rows";
        EXPECT_EQ(bmp[28], 24);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryAdvertisedSize, CaptureFormats, ::testing::ValuesIn(kFormats),
                         [](const auto& test) {
                             return std::to_string(test.param.Width) + "x" + std::to_string(test.param.Height);
                         });

class CaptureOutputs : public ProgramTest {};

TEST_F(CaptureOutputs, DefaultsLeaveThirtyVgaBitmapsInCaptureDirectory) {
    const ProgramRun run = Run("capture" + MachineOption());
    ASSERT_EQ(run.Status, 0) << run.Errors;
    EXPECT_TRUE(fs::exists(Path("capture/frame-0030.bmp")));
    EXPECT_FALSE(fs::exists(Path("capture/frame-0031.bmp")));
    EXPECT_EQ(Le32(ReadBytes(Path("capture/frame-0001.bmp")), 18), 640u);
    EXPECT_NE(run.Out.find("delivered   30 frames"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("dropped"), std::string::npos);
}

TEST_F(CaptureOutputs, PngOnlyAndRawFramesThatProcessReplays) {
#if defined(VEXACAM_WITHOUT_PNG)
    GTEST_SKIP() << "this build of vexacam writes no PNG pictures";
#endif
    const ProgramRun run = Run("capture --frames 2 --png --no-bmp --raw" + MachineOption());
    ASSERT_EQ(run.Status, 0) << run.Errors;
    EXPECT_FALSE(fs::exists(Path("capture/frame-0001.bmp")));
    const auto png = ReadBytes(Path("capture/frame-0002.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    const auto bigEndian = [&](size_t at) {
        return uint32_t{png[at]} << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
    };
    EXPECT_EQ(bigEndian(16), 640u);
    EXPECT_EQ(bigEndian(20), 480u);
    ASSERT_TRUE(fs::exists(Path("capture/raw-0001.raw")));
    EXPECT_EQ(fs::file_size(Path("capture/raw-0001.raw")), 640u * 480u);
    const ProgramRun replay = Run("process --input capture/raw-0001.raw --size 640x480 --output replay.bmp");
    EXPECT_EQ(replay.Status, 0) << replay.Errors;
}

TEST_F(CaptureOutputs, AviReadsBackWithFrameCountSizeRateAndTheBitmapsBytes) {
    if (!HaveProgram("ffprobe") || !HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    const ProgramRun run = Run("capture --frames 4 --video clip.avi" + MachineOption());
    ASSERT_EQ(run.Status, 0) << run.Errors;
    const std::string probe = Shell("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                    "stream=width,height,r_frame_rate,nb_read_frames -of csv=p=0 " +
                                    Path("clip.avi").string());
    EXPECT_EQ(probe, "640,480,125/2,4\n") << "the 640 x 480 format's interval is 16 ms";

    const std::string decoded = Path("frame3.rgb").string();
    Shell("ffmpeg -v error -i " + Path("clip.avi").string() +
          " -vf 'select=eq(n\\,2)' -frames:v 1 -f rawvideo -pix_fmt bgr24 -y " + decoded);
    const auto frame = ReadBytes(decoded);
    const auto bmp = ReadBytes(Path("capture/frame-0003.bmp"));
    const size_t row = 640 * 3;
    ASSERT_EQ(frame.size(), row * 480);
    ASSERT_EQ(bmp.size(), 54 + row * 480);
    // The decoder gives the top row first; the bitmap stores the bottom row first.
    for (size_t y = 0; y < 480; ++y) {
        ASSERT_TRUE(std::equal(frame.begin() + y * row, frame.begin() + (y + 1) * row,
                               bmp.begin() + 54 + (479 - y) * row))
            << "row " << y;
    }
}

}  // namespace
}  // namespace vexacam_cli_test
