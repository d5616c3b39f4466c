// vexacam process, run as a program: the bitmap it writes and how it refuses bad input.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class ProcessCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vexacam-process-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    std::vector<uint8_t> ReadFile(const std::string& name) const {
        std::ifstream file(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    // Runs the program with Arguments; returns its exit status, stderr in *errors.
    int Run(const std::string& arguments, std::string* errors = nullptr) const {
        const std::string errorFile = Path("stderr.txt");
        const std::string command = std::string(VEXACAM_PROGRAM) + " process " + arguments + " 2>" + errorFile;
        const int status = std::system(command.c_str());
        if (errors != nullptr) {
            std::ifstream file(errorFile);
            *errors = {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<uint8_t> RandomFrame(size_t count) const {
        std::mt19937 generator(7);
        std::vector<uint8_t> bytes(count);
        for (auto& byte : bytes) byte = static_cast<uint8_t>(generator());
        return bytes;
    }

    fs::path dir_;
};

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

TEST_F(ProcessCommandTest, WritesABottomUpBgrBitmapOfTheOutputBuffer) {
    // A uniform frame stays uniform through the default pipeline: every pixel (90, 90, 90).
    WriteFile("flat.raw", std::vector<uint8_t>(64 * 32, 90));
    ASSERT_EQ(Run("--input " + Path("flat.raw") + " --size 64x32 --output " + Path("out.bmp")), 0);
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
    ASSERT_EQ(Run("--input " + Path("bayer.raw") + " --size 64x32 --set BWPreview=1 --set CrossLine=1 "
                  "--output " + Path("grey.bmp")), 0);
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
    ASSERT_EQ(Run("--input " + Path("flat.raw") + " --size 64x32 --set LightAVG=1 --gainmap " +
                  Path("map.dat") + " --defects " + Path("bad.bpt") + " --output " + Path("out.bmp")), 0);
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
        {"--input FRAME --size 64x32 --set Sharpness=3", "Sharpness"},
        {"--input FRAME --size 64x32 --set Contrast=256", "Contrast"},
        {"--input FRAME --size 64x32 --set Exposal=-1", "Exposal"},
        {"--input FRAME --size 64x32 --set R_Gain=abc", "R_Gain"},
        {"--input FRAME --size 64x32 --set Gamma", "NAME=VALUE"},
        {"--input MISSING --size 64x32", "cannot read"},
        {"--input FRAME --size 64x32 --gainmap MISSING", "cannot read"},
        {"--input FRAME --size 64x32 --defects MISSING", "cannot read"},
    };
    for (const auto& c : cases) {
        std::string arguments = c.arguments;
        for (const auto& [token, path] : {std::pair<std::string, std::string>{"FRAME", Path("frame.raw")},
                                          {"MISSING", Path("missing.file")}}) {
            for (size_t at; (at = arguments.find(token)) != std::string::npos;) arguments.replace(at, token.size(), path);
        }
        std::string errors;
        EXPECT_NE(Run(arguments + " --output " + Path("out.bmp"), &errors), 0) << c.arguments;
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
        {Path("missing/out.bmp"), "cannot create"},
        {Path("taken.bmp"), "cannot write"},
    };
    for (const auto& c : cases) {
        std::string errors;
        EXPECT_EQ(Run("--input " + Path("frame.raw") + " --size 64x32 --output " + c.output, &errors), 1)
            << c.output;
        EXPECT_NE(errors.find(c.mentions + " " + c.output), std::string::npos) << errors;
        EXPECT_FALSE(fs::exists(c.output + ".partial")) << c.output;
    }
    EXPECT_TRUE(fs::is_directory(Path("taken.bmp")));
}

TEST_F(ProcessCommandTest, GammaBeyondTheTableIsClampedNotRefused) {
    WriteFile("flat.raw", std::vector<uint8_t>(64 * 32, 64));
    ASSERT_EQ(Run("--input " + Path("flat.raw") + " --size 64x32 --set Gamma=200 --output " + Path("a.bmp")), 0);
    ASSERT_EQ(Run("--input " + Path("flat.raw") + " --size 64x32 --set Gamma=32 --output " + Path("b.bmp")), 0);
    EXPECT_EQ(ReadFile("a.bmp"), ReadFile("b.bmp"));
    EXPECT_NE(ReadFile("a.bmp")[54 + 10 * 64 * 3], 64) << "gamma 3.0 brightens";
}

}  // namespace
