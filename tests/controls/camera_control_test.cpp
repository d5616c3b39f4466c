// The private camera control set through the framework's property requests: clamps, window
// placement, gain tables, the camera round trips of ids 18 and 34, and the gamma bound.
#include "controls_fixture.h"

namespace controls_test {
namespace {

using Controls = ControlsTest;

struct AnalogGainCase {
    const char* Why;
    ULONG Value;
    UCHAR Stored;
};

class AnalogGain : public ControlsTest, public ::testing::WithParamInterface<AnalogGainCase> {};

TEST_P(AnalogGain, TakesTheLowByteClampedTo8Through63InAllThreeBytes) {
    const AnalogGainCase& c = GetParam();
    for (ULONG id : {kControlAllGain}) {
        ASSERT_EQ(SetControl(id, c.Value), STATUS_SUCCESS);
        EXPECT_EQ(Device().Command.AllGain[0], c.Stored) << c.Why;
        EXPECT_EQ(Device().Command.AllGain[1], c.Stored) << c.Why;
        EXPECT_EQ(Device().Command.AllGain[2], c.Stored) << c.Why;
        EXPECT_EQ(Device().SettingsChanged, 1) << c.Why;
        EXPECT_EQ(Control(kControlAllGain), c.Stored) << c.Why;
    }
    Device().SettingsChanged = 0;
    ASSERT_EQ(SetProcAmp(KSPROPERTY_VIDEOPROCAMP_GAIN, static_cast<LONG>(c.Value), 0), STATUS_SUCCESS);
    EXPECT_EQ(ProcAmp(KSPROPERTY_VIDEOPROCAMP_GAIN).Value, c.Stored) << c.Why;
    EXPECT_EQ(Device().SettingsChanged, 1) << c.Why;
}

INSTANTIATE_TEST_SUITE_P(Values, AnalogGain,
                         ::testing::Values(AnalogGainCase{"below the range is raised", 5, 8},
                                           AnalogGainCase{"low byte 44 lies inside", 300, 44},
                                           AnalogGainCase{"above the range is lowered", 100, 63},
                                           AnalogGainCase{"the bounds themselves", 63, 63}));

struct WindowCase {
    const char* Why;
    UCHAR Control;
    ULONG OffsetMid;
    ULONG Id;
    ULONG Value;
    ULONG WindowX, WindowY;  // expected; 0xFFFFFFFF: unchanged from the marker
    ULONG H_Off;
};

constexpr ULONG kUnchanged = 0xFFFFFFFF;

class WindowPlacement : public ControlsTest, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(WindowPlacement, At640x480) {
    const WindowCase& c = GetParam();
    ASSERT_EQ(OpenStream(640, 480), STATUS_SUCCESS);
    Device().Command.Control = c.Control;
    Device().OffsetMid = c.OffsetMid;
    Device().Command.WindowX = Device().Command.WindowY = kUnchanged;
    Device().SettingsChanged = 0;
    ASSERT_EQ(SetControl(c.Id, c.Value), STATUS_SUCCESS);
    EXPECT_EQ(Device().Command.WindowX, c.WindowX) << c.Why;
    EXPECT_EQ(Device().Command.WindowY, c.WindowY) << c.Why;
    if (c.Id == kControlH_Off) {
        EXPECT_EQ(Device().Image.H_Off, c.H_Off) << c.Why;
        EXPECT_EQ(Device().SettingsChanged, c.OffsetMid == 0 ? 1 : 0) << c.Why;
    } else {
        EXPECT_EQ(Device().SettingsChanged, 1) << c.Why;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowPlacement,
    ::testing::Values(
        WindowCase{"offset clamped to the doubled 1280 window", 1, 0, kControlH_Off, 1000, 768, kUnchanged, 768},
        WindowCase{"offset inside the sensor is kept", 1, 0, kControlH_Off, 500, 500, kUnchanged, 500},
        WindowCase{"centred window does not move with the offset", 1, 1, kControlH_Off, 1000, kUnchanged, kUnchanged, 768},
        WindowCase{"mode 3 does not double for offsets", 3, 0, kControlH_Off, 1500, 1408, kUnchanged, 1408},
        WindowCase{"centring doubles on bit 0 alone", 3, 0, kControlOffsetMid, 1, 384, 288, 0},
        WindowCase{"centring off returns to the clamped offsets", 1, 1, kControlOffsetMid, 0, 0, 0, 0},
        WindowCase{"mode 3 is not mode 1: no doubling", 3, 1, kControlReadOutMode, 1, 704, 528, 0},
        WindowCase{"mode 1 doubles", 0, 1, kControlReadOutMode, 1, 384, 288, 0},
        WindowCase{"mode off with offsets", 1, 0, kControlReadOutMode, 0, 0, 0, 0}));

TEST_F(Controls, ReadOutModeKeepsTheOtherControlBits) {
    Device().Command.Control = 0xF6;
    ASSERT_EQ(SetControl(kControlReadOutMode, 1), STATUS_SUCCESS);
    EXPECT_EQ(Device().Command.Control, 0xF7);
    EXPECT_EQ(Control(kControlReadOutMode), 1u);
    ASSERT_EQ(SetControl(kControlCameraFlag, 0), STATUS_SUCCESS);
    EXPECT_EQ(Device().Command.Control, 0xF3);
    EXPECT_EQ(Control(kControlCameraFlag), 0u);
}

TEST_F(Controls, ColourGainsRoundTripThroughTheirTables) {
    struct Case {
        ULONG Id;
        PUCHAR Table;
    };
    for (const Case& c : {Case{8, Device().Pipeline.RedGain}, Case{9, Device().Pipeline.BlueGain}, Case{10, Device().Pipeline.GreenGain}}) {
        ASSERT_EQ(SetControl(c.Id, 500), STATUS_SUCCESS);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(c.Table[i], i) << "id " << c.Id << " unity entry " << i;
        EXPECT_EQ(Control(c.Id), 500u);
        ASSERT_EQ(SetControl(c.Id, 1000), STATUS_SUCCESS);
        EXPECT_EQ(c.Table[127], 254);
        EXPECT_EQ(c.Table[128], 255) << "doubling saturates from entry 128 on";
        EXPECT_EQ(Control(c.Id), 1000u);
    }
}

TEST_F(Controls, GainThatCannotBeReadBackLeavesTheBufferAlone) {
    ASSERT_EQ(SetControl(kControlRedGain, 0), STATUS_SUCCESS);  // every entry 0: no slope to read
    ULONG value = 777;
    ULONG bytes = 0;
    ASSERT_EQ(GetControl(kControlRedGain, &value, &bytes), STATUS_SUCCESS);
    EXPECT_EQ(value, 777u);
    EXPECT_EQ(bytes, 4u);
}

TEST_F(Controls, IdsWithoutAValueSucceedWithFourBytesAndWriteNothing) {
    for (ULONG id : {19u, 20u, 21u, 24u, 25u, 32u, 33u}) {
        ULONG value = 0x12345678;
        ULONG bytes = 0;
        ASSERT_EQ(GetControl(id, &value, &bytes), STATUS_SUCCESS) << "id " << id;
        EXPECT_EQ(value, 0x12345678u) << "id " << id;
        EXPECT_EQ(bytes, 4u) << "id " << id;
    }
    EXPECT_EQ(Control(kControlPresent), 1u);
    ASSERT_EQ(SetControl(kControlParamA, 5), STATUS_SUCCESS);
    EXPECT_EQ(Device().ParamA, 5u) << "stored although never read back";
}

struct StoreCase {
    const char* Why;
    ULONG Id;
    ULONG Value;
    ULONG Expected;
};

class PlainSetting : public ControlsTest, public ::testing::WithParamInterface<StoreCase> {};

TEST_P(PlainSetting, StoresByItsRuleAndReadsBack) {
    const StoreCase& c = GetParam();
    ASSERT_EQ(SetControl(c.Id, c.Value), STATUS_SUCCESS);
    EXPECT_EQ(Control(c.Id), c.Expected) << c.Why;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PlainSetting,
    ::testing::Values(StoreCase{"flag", 2, 7, 1}, StoreCase{"flag off", 4, 0, 0},
                      StoreCase{"low byte into a 32-bit field", 3, 0x1FF, 0xFF},
                      StoreCase{"low byte into a byte field", 5, 0x102, 2},
                      StoreCase{"contrast low byte", 11, 300, 44},
                      StoreCase{"whole value", 14, 123456, 123456},
                      StoreCase{"only 1 centres the crosshair", 16, 2, 0},
                      StoreCase{"clear view flag", 23, 9, 1},
                      StoreCase{"option byte", 26, 0x1AB, 0xAB},
                      StoreCase{"stored parameter", 28, 99, 99},
                      StoreCase{"colour adjustment", 37, 3, 3},
                      StoreCase{"gain map capture whatever the value", 31, 0, 1}));

TEST_F(Controls, ExposureAndOnePushExposureAreIgnoredWhileAutomatic) {
    Device().Image.AEing = 1;
    ASSERT_EQ(SetControl(kControlExposal, 999), STATUS_SUCCESS);
    ASSERT_EQ(SetControl(kControlOnePushExposure, 1), STATUS_SUCCESS);
    EXPECT_EQ(Control(kControlExposal), 100u);
    EXPECT_EQ(Control(kControlOnePushExposure), 0u);
    Device().Image.AEing = 0;
    ASSERT_EQ(SetControl(kControlExposal, 999), STATUS_SUCCESS);
    EXPECT_EQ(Control(kControlExposal), 999u);
    EXPECT_EQ(Device().SettingsChanged, 1);
}

struct GammaCase {
    const char* Why;
    LONG Value;
    LONG Index;
    double GammaValue;
};

class GammaIndex : public ControlsTest, public ::testing::WithParamInterface<GammaCase> {};

TEST_P(GammaIndex, IsClampedToTheTableAndRebuildsTheTone) {
    const GammaCase& c = GetParam();
    ASSERT_EQ(SetControl(kControlGamma, static_cast<ULONG>(c.Value)), STATUS_SUCCESS);
    EXPECT_EQ(Device().Pipeline.Gamma, c.Index) << c.Why;
    EXPECT_DOUBLE_EQ(Device().Pipeline.GammaValue, c.GammaValue) << c.Why;
    ASSERT_EQ(SetControl(kControlGamma, 16), STATUS_SUCCESS);
    ASSERT_EQ(SetProcAmp(KSPROPERTY_VIDEOPROCAMP_GAMMA, c.Value, 0), STATUS_SUCCESS);
    EXPECT_EQ(ProcAmp(KSPROPERTY_VIDEOPROCAMP_GAMMA).Value, c.Index) << c.Why;
}

INSTANTIATE_TEST_SUITE_P(Indexes, GammaIndex,
                         ::testing::Values(GammaCase{"inside", 20, 20, 1.5},
                                           GammaCase{"above the table", 40, 32, 3.0},
                                           GammaCase{"far above", 100000, 32, 3.0},
                                           GammaCase{"negative", -5, 0, 0.375}));

TEST_F(Controls, CameraWindowNeedsSixteenBytesAndSendsNothingOtherwise) {
    const size_t blocksBefore = camera_->ReceivedCommandBlocks().size();
    ULONG shortBuffer = 0xABCDABCD;
    ULONG bytes = 0;
    EXPECT_EQ(GetControl(kControlCameraWindow, &shortBuffer, &bytes), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(shortBuffer, 0xABCDABCDu);
    EXPECT_EQ(SetControl(kControlCameraWindow, 0), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(camera_->ReceivedCommandBlocks().size(), blocksBefore);
    EXPECT_EQ(Device().Command.FrameHeight, 1536u);

    ULONG window[4] = {};
    host::PropertyCall call{CameraControlSet, kControlCameraWindow, window, sizeof(window)};
    ASSERT_EQ(adapter_->GetProperty(call, &bytes), STATUS_SUCCESS);
    EXPECT_EQ(bytes, 16u);
    EXPECT_EQ(window[0], 1536u);  // FrameHeight, FrameWidth, WindowX, WindowY as the camera holds them
    EXPECT_EQ(window[1], 2048u);
    EXPECT_EQ(Device().Command.CommandCode, kCommandApply);
}

TEST_F(Controls, CameraValueIsWrittenLocallyAndReadFromTheCamera) {
    ASSERT_EQ(SetControl(kControlCameraValue, 4242), STATUS_SUCCESS);
    EXPECT_EQ(Device().Command.OptionValue, 4242u);
    EXPECT_EQ(Device().SettingsChanged, 0) << "reaches the camera with the next send, unmarked";
    ULONG value = 0xFFFF;
    const size_t blocksBefore = camera_->ReceivedCommandBlocks().size();
    ASSERT_EQ(GetControl(kControlCameraValue, &value), STATUS_SUCCESS);
    EXPECT_EQ(value, 0u) << "the camera answers with the value it has applied, not the unsent one";
    const std::vector<camera::CommandBlock> blocks = camera_->ReceivedCommandBlocks();
    ASSERT_EQ(blocks.size(), blocksBefore + 1);
    EXPECT_EQ(blocks.back().CommandCode, kCommandReadValue);
    EXPECT_EQ(Device().Command.CommandCode, kCommandApply);
}

}  // namespace
}  // namespace controls_test
