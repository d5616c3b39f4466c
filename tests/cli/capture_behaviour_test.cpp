// vexacam capture and calibrate, run as programs: refusals of bad options, settings that reach
// the driver, a camera that drops off the bus, the JSON summary, the calibration files.
#include <nlohmann/json.hpp>

#include <string>

#include "cli/program_runner.h"

namespace vexacam_cli_test {
namespace {

class CaptureBehaviour : public ProgramTest {};

struct BadOption {
    const char* Arguments;
    const char* Mentions;  // the message names the problem
};

const BadOption kBadOptions[] = {
    {"capture --format 320x240", "320x240"},                   // not advertised
    {"capture --format 640by480", "WIDTHxHEIGHT"},
    {"capture --format 0x480", "no pixels"},
    {"capture --frames 0", "--frames"},
    {"capture --frames many", "--frames"},
    {"capture --duration -1", "--duration"},
    {"capture --frames 2 --duration 1", "--duration"},          // one or the other
    {"capture --set Foo=1", "Foo"},
    {"capture --set Contrast", "NAME=VALUE"},
    {"capture --set Contrast=300", "1..32"},
    {"capture --set R_Gain=9999999999", "R_Gain"},
    {"capture --set GainMapCapture=1", "calibrate gainmap"},    // unchecked calibration
    {"capture --camera fps=0", "fps"},
    {"capture --camera lens=wide", "lens"},
    {"capture --camera fault=melt", "melt"},
    {"capture --no-bmp", "--no-bmp"},                           // nothing left to write
    {"capture --format 2048x1536 --frames 200 --video big.avi", "1 GiB"},
    {"capture --bogus", "--bogus"},
    {"calibrate whitebalance", "whitebalance"},
    {"calibrate defects --format 10x10", "10x10"},
};

TEST_F(CaptureBehaviour, BadOptionsExitWithTwoAndOneLineNamingTheProblem) {
    for (const BadOption& bad : kBadOptions) {
        const ProgramRun run = Run(std::string(bad.Arguments) + MachineOption());
        EXPECT_EQ(run.Status, 2) << bad.Arguments << "\n" << run.Errors;
        EXPECT_EQ(LineCount(run.Errors), 1u) << bad.Arguments << "\n" << run.Errors;
        EXPECT_NE(run.Errors.find(bad.Mentions), std::string::npos) << bad.Arguments << "\n" << run.Errors;
        EXPECT_FALSE(fs::exists(Path("capture/frame-0001.bmp"))) << bad.Arguments;
    }
}

TEST_F(CaptureBehaviour, EverySubcommandHasHelp) {
    for (const char* command : {"capture", "calibrate", "process", "controls", "info"}) {
        const ProgramRun run = Run(std::string(command) + " --help");
        EXPECT_EQ(run.Status, 0) << command;
        EXPECT_NE(run.Out.find("--"), std::string::npos) << command;
    }
}

TEST_F(CaptureBehaviour, SettingsAreHeldByTheDriverDuringAndAfterTheCapture) {
    const ProgramRun run = Run("capture --frames 2 --json --set Contrast=20 --set Gamma=12 "
                               "--set VideoModel=2 --set R_Gain=700 --set Exposal=900 "
                               "--set ALL_Gain=40" + MachineOption());
    ASSERT_EQ(run.Status, 0) << run.Errors;
    const nlohmann::json summary = nlohmann::json::parse(run.Out);
    const nlohmann::json& settings = summary["settings"];
    EXPECT_EQ(settings["Contrast"], 20);
    EXPECT_EQ(settings["Gamma"], 12);
    EXPECT_EQ(settings["VideoModel"], 2);
    EXPECT_NEAR(settings["R_Gain"].get<int>(), 700, 2) << "read back from the gain table";
    EXPECT_EQ(settings["Exposal"], 900) << "an exposure asks for manual exposure";
    // The stop saved them; a fresh driver shows them through the property get, under the
    // same names the capture took.
    for (const auto& [name, value] : {std::pair{"camera.Contrast", "20"}, {"camera.Gamma", "12"},
                                      {"camera.VideoModel", "2"}, {"camera.Exposal", "900"},
                                      {"camera.ALL_Gain", "40"}}) {
        const ProgramRun get = Run(std::string("controls get ") + name + MachineOption());
        EXPECT_EQ(get.Out, std::string(name) + " = " + value + "\n") << get.Errors;
    }
    const ProgramRun redGain = Run("controls get camera.R_Gain" + MachineOption());
    ASSERT_EQ(redGain.Out.rfind("camera.R_Gain = ", 0), 0u) << redGain.Out << redGain.Errors;
    EXPECT_NEAR(std::stoi(redGain.Out.substr(16)), 700, 2) << "read back from the gain table";
}

TEST_F(CaptureBehaviour, JsonSummaryIsOneObjectWithTheDriversCounts) {
    const ProgramRun run = Run("capture --frames 3 --json --output here" + MachineOption());
    ASSERT_EQ(run.Status, 0) << run.Errors;
    EXPECT_EQ(LineCount(run.Out), 1u);
    const nlohmann::json summary = nlohmann::json::parse(run.Out);
    EXPECT_EQ(summary["ok"], true);
    EXPECT_EQ(summary["delivered"], 3);
    EXPECT_EQ(summary["width"], 640);
    EXPECT_EQ(summary["frame_interval_100ns"], 160000);
    EXPECT_GE(summary["frame_periods"].get<int>(), 3);
    // Periods are counted until the stop: pictures past the third may have been delivered.
    EXPECT_GE(summary["frame_periods"].get<int>() - summary["dropped"].get<int>(),
              summary["delivered"].get<int>())
        << "a period counts a drop only when it delivered no picture";
    EXPECT_EQ(summary["directory"], "here");
}

TEST_F(CaptureBehaviour, DisconnectEndsWithOneLineAndExitStatusOne) {
    const ProgramRun run = Run("capture --frames 200 --camera fault=disconnect@6" + MachineOption());
    EXPECT_EQ(run.Status, 1) << run.Errors;
    EXPECT_EQ(LineCount(run.Errors.substr(run.Errors.rfind("vexacam capture:"))), 1u) << run.Errors;
    EXPECT_NE(run.Errors.find("disconnected"), std::string::npos) << run.Errors;
    EXPECT_FALSE(fs::exists(Path("capture/frame-0010.bmp")));
}

TEST_F(CaptureBehaviour, RecoverableCameraFaultsDoNotFailTheCapture) {
    const ProgramRun run = Run("capture --frames 12 --camera fault=crc@3 --camera fault=stall@5 "
                               "--camera fault=short@7" + MachineOption());
    EXPECT_EQ(run.Status, 0) << run.Errors;
    EXPECT_TRUE(fs::exists(Path("capture/frame-0012.bmp")));
}

TEST_F(CaptureBehaviour, CalibrationsWriteTheDriversFilesForTheFrameWidth) {
    const ProgramRun exposureBefore = Run("controls get procamp.Brightness" + MachineOption());
    ProgramRun run = Run("calibrate defects" + MachineOption());
    ASSERT_EQ(run.Status, 0) << run.Errors;
    const fs::path defects = Path("machine/SystemRoot/Vexa_640.bpt");
    ASSERT_TRUE(fs::exists(defects)) << run.Out;
    const auto table = ReadBytes(defects);
    EXPECT_EQ(table.size() % 4, 0u);
    EXPECT_GE(table.size(), 4u) << "the simulated sensor has hot pixels in the window";
    // The defect capture borrows manual exposure and gives the user's choice back.
    EXPECT_EQ(Run("controls get procamp.Brightness" + MachineOption()).Out, exposureBefore.Out);

    run = Run("calibrate gainmap" + MachineOption());
    ASSERT_EQ(run.Status, 0) << run.Errors;
    const fs::path gainMap = Path("machine/SystemRoot/Vexa_640.dat");
    ASSERT_TRUE(fs::exists(gainMap)) << run.Out;
    EXPECT_EQ(fs::file_size(gainMap), 640u * 480u * 2u);
    EXPECT_NE(run.Out.find("Vexa_640.dat"), std::string::npos);
}

}  // namespace
}  // namespace vexacam_cli_test
