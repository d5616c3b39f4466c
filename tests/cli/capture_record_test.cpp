// The per-frame record of a capture and the replay it makes possible: every delivered picture
// has its line in frames.jsonl, raw-NNNN.raw is the raw frame of frame-NNNN.bmp, and
// `vexacam process --replay` makes the picture again byte for byte, at every format, with the
// default settings and with every stage of the pipeline at work.
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "cli/program_runner.h"

namespace vexacam_cli_test {
namespace {

struct FormatCase {
    uint32_t Width, Height;
};

const FormatCase kFormats[] = {{2048, 1536}, {1600, 1200}, {1280, 1024}, {1024, 768}, {800, 600}, {640, 480}};

std::vector<nlohmann::json> ReadRecord(const fs::path& path) {
    std::vector<nlohmann::json> lines;
    std::istringstream text(ReadText(path));
    for (std::string line; std::getline(text, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
}

class CaptureReplay : public ProgramTest, public ::testing::WithParamInterface<FormatCase> {
protected:
    std::string Size() const { return std::to_string(GetParam().Width) + "x" + std::to_string(GetParam().Height); }

    // Calibration files for the width, as the driver reads them: a gain map that varies from
    // x0.75 to x1.25 across the frame and a defect table of a few pixels.
    void WriteCalibration() const {
        const FormatCase& f = GetParam();
        fs::create_directories(Path("machine/SystemRoot"));
        std::vector<uint8_t> gains;
        for (uint32_t y = 0; y < f.Height; ++y) {
            for (uint32_t x = 0; x < f.Width; ++x) {
                const uint16_t gain = static_cast<uint16_t>(48 + (x * 32) / f.Width);
                gains.insert(gains.end(), {static_cast<uint8_t>(gain), static_cast<uint8_t>(gain >> 8)});
            }
        }
        std::ofstream(Path("machine/SystemRoot/Vexa_" + std::to_string(f.Width) + ".dat"), std::ios::binary)
            .write(reinterpret_cast<const char*>(gains.data()), static_cast<std::streamsize>(gains.size()));
        const uint16_t defects[] = {10, 10, 101, 55, 300, 201, 17, 400};
        std::ofstream(Path("machine/SystemRoot/Vexa_" + std::to_string(f.Width) + ".bpt"), std::ios::binary)
            .write(reinterpret_cast<const char*>(defects), sizeof(defects));
    }

    // Captures, then replays every frame from its raw file and its record.
    void CaptureAndReplay(const std::string& settings) {
        const ProgramRun run = Run("capture --format " + Size() + " --frames 2 --no-settle --raw --output shots " +
                                   settings + MachineOption());
        ASSERT_EQ(run.Status, 0) << run.Errors;
        const std::vector<nlohmann::json> record = ReadRecord(Path("shots/frames.jsonl"));
        ASSERT_EQ(record.size(), 2u) << "one line per delivered picture";
        for (const nlohmann::json& line : record) {
            const uint32_t frame = line["frame"];
            char picture[32], raw[32];
            std::snprintf(picture, sizeof(picture), "frame-%04u.bmp", frame);
            std::snprintf(raw, sizeof(raw), "raw-%04u.raw", frame);
            EXPECT_EQ(line["files"], nlohmann::json({picture, raw})) << line.dump();
            EXPECT_TRUE(line["replay_checked"].get<bool>()) << line.dump();
            const ProgramRun replay = Run(std::string("process --input shots/") + raw +
                                          " --replay shots/frames.jsonl --output replay.bmp");
            ASSERT_EQ(replay.Status, 0) << replay.Errors;
            EXPECT_TRUE(ReadBytes(Path("replay.bmp")) == ReadBytes(Path("shots") / picture))
                << picture << " is not made again byte for byte";
        }
    }
};

TEST_P(CaptureReplay, ReplayMakesEveryPictureAgainWithTheDefaultSettings) { CaptureAndReplay(""); }

TEST_P(CaptureReplay, ReplayMakesEveryPictureAgainWithEveryStageAtWork) {
    WriteCalibration();
    int index = 0;
    while (kFormats[index].Width != GetParam().Width) ++index;
    // Orientation and grey or colour change from format to format; every other stage is on.
    CaptureAndReplay("--set LightAVG=1 --set Contrast=24 --set Gamma=20 --set ColorAdjustType=" +
                     std::to_string(1 + index % 2) + " --set Saturntion=12 --set CrossLine=1 --set CrossMid=0 "
                     "--set CrossX=100 --set CrossY=200 --set VideoModel=" + std::to_string(1 + index % 4) +
                     " --set BWPreview=" + std::to_string(index % 3 == 2) +
                     " --set R_Gain=700 --set B_Gain=450 --set Exposal=300 --set OnePushWhiteBalance=1 "
                     "--set OnePushExposure=1");
}

INSTANTIATE_TEST_SUITE_P(EveryAdvertisedSize, CaptureReplay, ::testing::ValuesIn(kFormats),
                         [](const auto& test) {
                             return std::to_string(test.param.Width) + "x" + std::to_string(test.param.Height);
                         });

class CaptureRecord : public ProgramTest {};

TEST_F(CaptureRecord, EachDeliveredPictureHasALineWithItsHeaderFilesAndSettings) {
    const ProgramRun run = Run("capture --frames 4 --json --set Contrast=20 --set Saturntion=10" + MachineOption());
    ASSERT_EQ(run.Status, 0) << run.Errors;
    const nlohmann::json summary = nlohmann::json::parse(run.Out);
    const std::vector<nlohmann::json> record = ReadRecord(Path("capture/frames.jsonl"));
    ASSERT_EQ(record.size(), summary["delivered"].get<size_t>());
    int64_t previous = -1;
    for (size_t i = 0; i < record.size(); ++i) {
        const nlohmann::json& line = record[i];
        EXPECT_EQ(line["frame"], i + 1);
        EXPECT_GT(line["picture_number"].get<int64_t>(), previous) << "in delivery order";
        previous = line["picture_number"];
        EXPECT_EQ(line["duration_100ns"], 160000);
        EXPECT_TRUE(line.contains("presentation_time_100ns") && line.contains("discontinuity") &&
                    line.contains("dropped_so_far"));
        EXPECT_EQ(line["files"].size(), 1u);
        const nlohmann::json& settings = line["settings"];
        EXPECT_EQ(settings["Contrast"], 20);
        EXPECT_EQ(settings["Saturntion"], 10) << "a setting only the registry holds";
        EXPECT_EQ(settings["AEing"], 1);
        EXPECT_TRUE(settings.contains("OnePushWhiteBalance") && settings.contains("Exposal"));
        EXPECT_EQ(settings.size(), 27u) << "the 25 stored settings and the 2 requests";
    }
}

TEST_F(CaptureRecord, ReplayRefusesARawFrameTheRecordDoesNotName) {
    ASSERT_EQ(Run("capture --frames 1 --no-settle --raw" + MachineOption()).Status, 0);
    fs::copy_file(Path("capture/raw-0001.raw"), Path("other.raw"));
    const ProgramRun run = Run("process --input other.raw --replay capture/frames.jsonl --output x.bmp");
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Errors.find("names other.raw"), std::string::npos) << run.Errors;
    std::ofstream(Path("broken.jsonl")) << "{\"frame\": 1,\n";
    const ProgramRun broken = Run("process --input other.raw --replay broken.jsonl --output x.bmp");
    EXPECT_EQ(broken.Status, 2);
    EXPECT_NE(broken.Errors.find("line 1"), std::string::npos) << broken.Errors;
}

}  // namespace
}  // namespace vexacam_cli_test
