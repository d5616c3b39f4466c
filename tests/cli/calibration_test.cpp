// vexacam calibrate, run as a program: the order the tables are taken in, and the checks that
// keep a table taken of the wrong scene from replacing a good one.
#include <algorithm>
#include <string>
#include <vector>

#include "cli/program_runner.h"

namespace vexacam_cli_test {
namespace {

class Calibration : public ProgramTest {
protected:
    fs::path GainMap() const { return Path("machine/SystemRoot/Vexa_640.dat"); }
    fs::path Defects() const { return Path("machine/SystemRoot/Vexa_640.bpt"); }

    // The largest difference of any channel, in the 5 x 5 pixels around each defect of the
    // table, from that channel's median there: a spot left where a defect was stands out.
    int WorstSpotAtDefects(const fs::path& picture) const {
        const std::vector<uint8_t> bmp = ReadBytes(picture);
        const std::vector<uint8_t> table = ReadBytes(Defects());
        const int width = 640, height = 480;
        int worst = 0;
        for (size_t i = 0; i + 3 < table.size(); i += 4) {
            const int x = table[i] | table[i + 1] << 8, y = table[i + 2] | table[i + 3] << 8;
            for (int channel = 0; channel < 3; ++channel) {
                std::vector<int> values;
                for (int dy = -2; dy <= 2; ++dy) {
                    for (int dx = -2; dx <= 2; ++dx) {
                        const int row = height - 1 - std::clamp(y + dy, 0, height - 1);  // bottom-up
                        const int column = std::clamp(x + dx, 0, width - 1);
                        values.push_back(bmp[54 + (static_cast<size_t>(row) * width + column) * 3 + channel]);
                    }
                }
                std::vector<int> sorted = values;
                std::nth_element(sorted.begin(), sorted.begin() + 12, sorted.end());
                for (int value : values) worst = std::max(worst, std::abs(value - sorted[12]));
            }
        }
        return worst;
    }
};

TEST_F(Calibration, DefectsFirstThenTheGainMapLeaveNoSpotWhereTheHotPixelWas) {
    // Taken the other way round, the gain map held the hot pixel, and the flat field left a
    // cyan 2 x 2 spot (red about 85 among 165) once the defect step repaired it.
    const ProgramRun early = Run("calibrate gainmap" + MachineOption());
    EXPECT_EQ(early.Status, 2) << early.Errors;
    EXPECT_NE(early.Errors.find("calibrate defects"), std::string::npos) << early.Errors;
    EXPECT_FALSE(fs::exists(GainMap()));

    ASSERT_EQ(Run("calibrate defects" + MachineOption()).Status, 0);
    ASSERT_GE(fs::file_size(Defects()), 4u) << "the simulated sensor has a hot pixel in this window";
    const ProgramRun gainMap = Run("calibrate gainmap" + MachineOption());
    ASSERT_EQ(gainMap.Status, 0) << gainMap.Errors;
    EXPECT_EQ(fs::file_size(GainMap()), 640u * 480u * 2u);
    ASSERT_EQ(Run("capture --frames 1 --set LightAVG=1" + MachineOption()).Status, 0);
    EXPECT_LT(WorstSpotAtDefects(Path("capture/frame-0001.bmp")), 30);
}

TEST_F(Calibration, WrongScenesAreRefusedAndThePreviousFilesStay) {
    ASSERT_EQ(Run("calibrate defects" + MachineOption()).Status, 0);
    ASSERT_EQ(Run("calibrate gainmap" + MachineOption()).Status, 0);
    const std::vector<uint8_t> defects = ReadBytes(Defects());
    const std::vector<uint8_t> gains = ReadBytes(GainMap());
    const struct {
        const char* Arguments;
        const char* Reason;
    } cases[] = {
        {"calibrate gainmap --camera scene=dark", "too dark"},        // gains 0 to 2: colour noise
        {"calibrate gainmap --camera scene=chart", "grey card"},      // clipped, not flat
        {"calibrate defects --camera scene=chart", "not dark"},       // 11,033 "defects"
        {"calibrate defects --camera scene=flat", "lens capped"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = Run(std::string(c.Arguments) + MachineOption());
        EXPECT_EQ(run.Status, 1) << c.Arguments << "\n" << run.Errors;
        EXPECT_EQ(ProblemLines(run.Errors), 1u) << run.Errors;
        EXPECT_NE(run.Errors.find(c.Reason), std::string::npos) << c.Arguments << "\n" << run.Errors;
        EXPECT_EQ(ReadBytes(Defects()), defects) << c.Arguments;
        EXPECT_EQ(ReadBytes(GainMap()), gains) << c.Arguments;
    }
    const ProgramRun forced = Run("calibrate defects --force --camera scene=chart" + MachineOption());
    EXPECT_EQ(forced.Status, 0) << forced.Errors;
    EXPECT_GT(fs::file_size(Defects()), 4000u * 4u) << "--force keeps what the scene gave";
}

}  // namespace
}  // namespace vexacam_cli_test
