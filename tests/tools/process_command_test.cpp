// vexacam process, run as a program: the bitmap it writes and how it refuses bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cli/program_runner.h"

namespace {

using vexacam_cli_test::Le32;
using vexacam_cli_test::ProgramRun;
using vexacam_cli_test::ReadBytes;
namespace fs = std::filesystem;

class ProcessCommandTest : public vexacam_cli_test::ProgramTest {
protected:
    std::string File(const std::string& name) const { return Path(name).string(); }

    void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    std::vector<uint8_t> ReadFile(const std::string& name) const { return ReadBytes(Path(name)); }

    // `vexacam process <arguments>`: its exit status, its standard error in *errors.
    int Process(const std::string& arguments, std::string* errors = nullptr) const {
        const ProgramRun run = Run("process " + arguments);
        if (errors != nullptr) *errors = run.Errors;
        return run.Status;
    }

    std::vector<uint8_t> RandomFrame(size_t count) const {
        std::mt19937 generator(7);
        std::vector<uint8_t> bytes(count);
        for (auto& byte : bytes) byte = static_cast<uint8_t>(generator());
        return bytes;
    }
};

TEST_F(ProcessCommandTest, WritesABottomUpBgrBitmapOfTheOutputBuffer) {
    // A uniform frame stays uniform through the default pipeline: every pixel (90, 90, 90).
    WriteFile("flat.raw", std::vector<uint8_t>(64 * 32, 90));
    ASSERT_EQ(Process("--input " + File("flat.raw") + " --size 64x32 --output " + File("out.bmp")), 0);
    const auto bmp = ReadFile("out.bmp");
    ASSERT_EQ(bmp.size(), 54u + 64 * 32 * 3);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Le32(bmp, 2), bmp.size());
    EXPECT_EQ(Le32(bmp, 10), 54u);
    EXPECT_EQ(Le32(bmp, 18), 64u);
    EXPECT_EQ(Le32(bmp, 22), 32u) << "positive height: bottom-up";
    EXPECT_EQ(bmp[28], 24);
    EXPECT_EQ(Le32(bmp, 30), 0u) << "BI_RGB";
    for (size_t i = 54; i < bmp.size(); ++i) ASSERT_EQ(bmp[i], 90) << i;
}

TEST_F(ProcessCommandTest, SettingsChangeThePicture) {
    // Bayer frame: red sites 200, greens 100, blue 50. BWPreview gives grey 124 everywhere
    // inside; the crosshair paints red across the centre row.
    std::vector<uint8_t> frame(64 * 32);
    for (size_t y = 0; y < 32; ++y) {
        for (size_t x = 0; x < 64; ++x) frame[y * 64 + x] = (y % 2 == 0) ? (x % 2 == 0 ? 200 : 100) : (x % 2 == 0 ? 100 : 50);
    }
    WriteFile("bayer.raw", frame);
    ASSERT_EQ(Process("--input " + File("bayer.raw") + " --size 64x32 --set BWPreview=1 --set CrossLine=1 "
                      "--output " + File("grey.bmp")), 0);
    const auto bmp = ReadFile("grey.bmp");
    const auto pixel = [&](size_t row, size_t column) { return bmp.data() + 54 + (row * 64 + column) * 3; };
    EXPECT_EQ(pixel(5, 10)[0], 124);
    EXPECT_EQ(pixel(5, 10)[2], 124);
    EXPECT_EQ(pixel(16, 10)[0], 0) << "crosshair row H / 2";
    EXPECT_EQ(pixel(16, 10)[2], 255);
}

TEST_F(ProcessCommandTest, GainMapAndDefectFilesAreReadAsTheDriverReadsThem) {
    WriteFile("flat.raw", std::vector<uint8_t>(64 * 32, 100));
    // Gains of 32 halve every pixel; a 2-byte defect file holds no whole entry.
    std::vector<uint8_t> gains;
    for (int i = 0; i < 64 * 32; ++i) gains.insert(gains.end(), {32, 0});
    WriteFile("map.dat", gains);
    WriteFile("bad.bpt", {1, 2});
    ASSERT_EQ(Process("--input " + File("flat.raw") + " --size 64x32 --set LightAVG=1 --gainmap " +
                      File("map.dat") + " --defects " + File("bad.bpt") + " --output " + File("out.bmp")), 0);
    const auto bmp = ReadFile("out.bmp");
    EXPECT_EQ(bmp[54 + (10 * 64 + 10) * 3], 50);
}

TEST_F(ProcessCommandTest, BadInputFailsWithOneLineAndNoOutputFile) {
    WriteFile("frame.raw", RandomFrame(64 * 32));
    const struct {
        std::string arguments;
        std::string mentions;
    } cases[] = {
        {"--input FRAME --size 64x30", "64 x 30"},
        {"--input FRAME --size 60x32", "multiple of 8"},
        {"--input FRAME --size 64x33", "odd"},
        {"--input FRAME --size 64x2", "below 4"},
        {"--input FRAME --size 64by32", "--size"},
        {"--input FRAME --size 64x32 --set Sharpen=3", "Sharpen"},
        {"--input FRAME --size 64x32 --set Contrast=256", "1..32"},
        {"--input FRAME --size 64x32 --set Exposal=-1", "1..5000"},
        {"--input FRAME --size 64x32 --set Gamma=200", "1..32"},  // was clamped to the table
        {"--input FRAME --size 64x32 --set R_Gain=abc", "R_Gain"},
        {"--input FRAME --size 64x32 --set Gamma", "NAME=VALUE"},
        {"--input MISSING --size 64x32", "cannot read"},
        {"--input FRAME --size 64x32 --gainmap MISSING", "cannot read"},
        {"--input FRAME --size 64x32 --defects MISSING", "cannot read"},
    };
    for (const auto& c : cases) {
        std::string arguments = c.arguments;
        for (const auto& [token, path] : {std::pair<std::string, std::string>{"FRAME", File("frame.raw")},
                                          {"MISSING", File("missing.file")}}) {
            for (size_t at; (at = arguments.find(token)) != std::string::npos;) arguments.replace(at, token.size(), path);
        }
        std::string errors;
        EXPECT_NE(Process(arguments + " --output " + File("out.bmp"), &errors), 0) << c.arguments;
        EXPECT_NE(errors.find(c.mentions), std::string::npos) << c.arguments << ": " << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_FALSE(fs::exists(Path("out.bmp"))) << c.arguments;
    }
}

TEST_F(ProcessCommandTest, AnOutputThatCannotBeWrittenFailsAndLeavesNoPartialFile) {
    WriteFile("frame.raw", RandomFrame(64 * 32));
    fs::create_directories(Path("taken.bmp"));  // a directory cannot be renamed over
    const struct {
        std::string output;
        std::string mentions;
    } cases[] = {
        {File("missing/out.bmp"), "cannot create"},
        {File("taken.bmp"), "cannot write"},
    };
    for (const auto& c : cases) {
        std::string errors;
        EXPECT_EQ(Process("--input " + File("frame.raw") + " --size 64x32 --output " + c.output, &errors), 1)
            << c.output;
        EXPECT_NE(errors.find(c.mentions + " " + c.output), std::string::npos) << errors;
        EXPECT_FALSE(fs::exists(c.output + ".partial")) << c.output;
    }
    EXPECT_TRUE(fs::is_directory(Path("taken.bmp")));
}

}  // namespace
