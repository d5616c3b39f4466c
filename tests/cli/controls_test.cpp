// vexacam controls, run as a program: values outside the published ranges are refused in
// every place a value is given, what is set is what is stored, a registry that cannot be
// written is an error, and reading leaves the registry file alone.
#include <nlohmann/json.hpp>

#include <string>

#include "cli/program_runner.h"

namespace vexacam_cli_test {
namespace {

class ControlsProgram : public ProgramTest {
protected:
    std::string Registry() const { return ReadText(Path("machine/registry.reg")); }
};

struct OutOfRange {
    const char* Arguments;
    const char* Range;
};

// Each was stored before: clamped, wrapped to its low byte, or kept as given.
const OutOfRange kOutOfRange[] = {
    {"controls set procamp.Contrast 99", "1..32"},
    {"controls set procamp.Contrast 0", "1..32"},
    {"controls set camera.Contrast -5", "1..32"},       // stored 251
    {"controls set procamp.Gain 100", "8..63"},         // clamped to 63 without a word
    {"controls set camera.Exposal 99999999", "1..5000"},
    {"controls set procamp.Saturation 0", "1..6000"},
    {"controls set Gamma 33", "1..32"},
    {"controls set VideoModel 9", "1..4"},
    {"controls set Saturntion 200", "0..16"},
    {"capture --set Contrast=99", "1..32"},
    {"capture --set Brightness=0", "1..5000"},
    {"process --input RAW --size 64x32 --output x.bmp --set Contrast=99", "1..32"},
};

TEST_F(ControlsProgram, ValuesOutsideThePublishedRangeAreRefusedAndNothingIsStored) {
    std::ofstream(Path("frame.raw"), std::ios::binary) << std::string(64 * 32, '\x40');
    ASSERT_EQ(Run("controls set Contrast 20" + MachineOption()).Status, 0);
    const std::string stored = Registry();
    for (const OutOfRange& c : kOutOfRange) {
        std::string arguments = c.Arguments;
        if (const size_t at = arguments.find("RAW"); at != std::string::npos) arguments.replace(at, 3, Path("frame.raw").string());
        const bool offline = arguments.rfind("process", 0) == 0;  // no machine: a private one
        const ProgramRun run = Run(arguments + (offline ? "" : MachineOption()));
        EXPECT_EQ(run.Status, 2) << c.Arguments << "\n" << run.Errors;
        EXPECT_EQ(LineCount(run.Errors), 1u) << c.Arguments;
        EXPECT_NE(run.Errors.find(c.Range), std::string::npos) << c.Arguments << "\n" << run.Errors;
        EXPECT_EQ(Registry(), stored) << c.Arguments;
    }
    EXPECT_FALSE(fs::exists(Path("capture"))) << "a refused capture leaves no directory";
}

TEST_F(ControlsProgram, WhatIsSetIsWhatIsStoredUnderOneSetOfNames) {
    const struct {
        const char* Set;
        const char* Get;
        const char* Shows;
    } cases[] = {
        {"procamp.Saturation 700", "G_Gain", "camera.G_Gain = 700"},  // read back as 699
        {"WhiteBalance 1234", "camera.R_Gain", "camera.R_Gain = 1234"},
        {"Gain 40", "ALL_Gain", "camera.ALL_Gain = 40"},
        {"Saturntion 12", "Saturntion", "registry.Saturntion = 12"},
        {"registry Control 3", "Control", "registry.Control = 3"},
    };
    for (const auto& c : cases) {
        const ProgramRun set = Run(std::string("controls set ") + c.Set + MachineOption());
        EXPECT_EQ(set.Status, 0) << c.Set << "\n" << set.Errors;
        const ProgramRun get = Run(std::string("controls get ") + c.Get + MachineOption());
        EXPECT_EQ(get.Out, std::string(c.Shows) + "\n") << c.Set << "\n" << get.Errors;
    }
    EXPECT_NE(Registry().find("\"R_Gain\"=dword:000004d2"), std::string::npos) << Registry();
}

TEST_F(ControlsProgram, ExposureByHandIsTakenWhileAutomaticExposureWasOn) {
    // A capture leaves automatic exposure on; an exposure set then was dropped with status 0.
    ASSERT_EQ(Run("capture --frames 1" + MachineOption()).Status, 0);
    ASSERT_EQ(Run("controls get AEing" + MachineOption()).Out, "procamp.AEing = 1\n");
    const ProgramRun set = Run("controls set Exposal 900" + MachineOption());
    EXPECT_EQ(set.Status, 0) << set.Errors;
    EXPECT_NE(set.Out.find("automatic exposure switched off"), std::string::npos) << set.Out;
    EXPECT_EQ(Run("controls get Exposal" + MachineOption()).Out, "camera.Exposal = 900\n");
    EXPECT_EQ(Run("controls get AEing" + MachineOption()).Out, "procamp.AEing = 0\n");
}

TEST_F(ControlsProgram, AnUnwritableRegistryFailsTheSetWithOneLine) {
    fs::create_directories(Path("machine/registry.reg"));  // a directory cannot be replaced by a file
    for (const char* arguments : {"controls set camera.Contrast 20", "controls reset", "capture --frames 1 --set Contrast=20"}) {
        const ProgramRun run = Run(std::string(arguments) + MachineOption());
        EXPECT_EQ(run.Status, 1) << arguments << "\n" << run.Errors;
        EXPECT_EQ(ProblemLines(run.Errors), 1u) << arguments << "\n" << run.Errors;
        EXPECT_NE(run.Errors.find("registry.reg"), std::string::npos) << arguments << "\n" << run.Errors;
    }
}

TEST_F(ControlsProgram, ReadingCommandsLeaveTheRegistryFileAlone) {
    for (const char* arguments : {"controls get Contrast", "controls list", "controls list --json", "info", "info --json"}) {
        EXPECT_EQ(Run(std::string(arguments) + MachineOption()).Status, 0) << arguments;
        EXPECT_FALSE(fs::exists(Path("machine/registry.reg"))) << arguments << " wrote the registry";
    }
    ASSERT_EQ(Run("controls set Contrast 20" + MachineOption()).Status, 0);
    const auto written = fs::last_write_time(Path("machine/registry.reg"));
    const std::string contents = Registry();
    for (const char* arguments : {"controls get Contrast", "controls list", "info"}) {
        ASSERT_EQ(Run(std::string(arguments) + MachineOption()).Status, 0) << arguments;
        EXPECT_EQ(fs::last_write_time(Path("machine/registry.reg")), written) << arguments;
        EXPECT_EQ(Registry(), contents) << arguments;
    }
}

TEST_F(ControlsProgram, ResetBringsEveryStoredSettingBackToItsDefault) {
    for (const char* set : {"Contrast 20", "Gamma 24", "Saturntion 12", "VideoModel 3"}) {
        ASSERT_EQ(Run(std::string("controls set ") + set + MachineOption()).Status, 0) << set;
    }
    const ProgramRun reset = Run("controls reset --json" + MachineOption());
    ASSERT_EQ(reset.Status, 0) << reset.Errors;
    const nlohmann::json values = nlohmann::json::parse(reset.Out);
    EXPECT_EQ(values["Contrast"], 16);
    EXPECT_EQ(values["Gamma"], 16);
    EXPECT_EQ(values["Saturntion"], 8);
    EXPECT_EQ(values["VideoModel"], 1);
    EXPECT_EQ(Run("controls get Contrast" + MachineOption()).Out, "camera.Contrast = 16\n");
    EXPECT_NE(Registry().find("\"Saturntion\"=dword:00000008"), std::string::npos) << Registry();
}

TEST_F(ControlsProgram, JsonListGivesEverySettableControlARangeStepAndDefault) {
    const ProgramRun run = Run("controls list --json" + MachineOption());
    ASSERT_EQ(run.Status, 0) << run.Errors;
    const nlohmann::json list = nlohmann::json::parse(run.Out);
    size_t camera = 0;
    for (const nlohmann::json& control : list) {
        if (control["set"] == "camera") ++camera;
        if (!control["settable"].get<bool>()) continue;
        if (control["name"] == "CameraWindow") continue;  // four values, checked against the sensor
        EXPECT_TRUE(control.contains("min") && control.contains("max") && control.contains("step") &&
                    control.contains("default"))
            << control.dump();
    }
    EXPECT_EQ(camera, 39u);
    const ProgramRun info = Run("info --json" + MachineOption());
    ASSERT_EQ(info.Status, 0) << info.Errors;
    const nlohmann::json description = nlohmann::json::parse(info.Out);
    EXPECT_EQ(description["streams"][0]["formats"].size(), 6u);
    EXPECT_EQ(description["streams"][0]["formats"][5]["width"], 640);
}

}  // namespace
}  // namespace vexacam_cli_test
