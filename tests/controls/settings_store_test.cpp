// The stored settings: defaults from an empty machine, the byte/dword/flag loads, the window
// step, the gain fallback, and values that are never lost between program runs.
#include "controls/settings_store.h"
#include "controls_fixture.h"
#include "host/kernel/debug_log.h"
#include "host/registry/registry_faults.h"

namespace controls_test {
namespace {

// These tests call LoadSettings and SaveSettings themselves: with an image under test those
// would be the compiled-in copies, so only the tests that go through the client run on it.
constexpr const char* kCallsTheSettingsRoutines = "calls the compiled-in settings routines";

class Settings : public ControlsTest {
protected:
    // LoadSettings as the stream open calls it, for a format of this size.
    void Load(LONG width, LONG height) {
        KS_DATAFORMAT_VIDEOINFOHEADER format = VideoFormat(width, height);
        HW_STREAM_REQUEST_BLOCK srb{};
        srb.CommandData.OpenFormat = &format.DataFormat;
        StreamContext stream{};
        ASSERT_TRUE(LoadSettings(&Device(), &srb, &stream));
    }
};

const char* const kAllValues[] = {
    "Exposal", "R_Gain", "B_Gain", "G_Gain", "Contrast", "CrossX", "CrossY", "VideoModel", "LightModel",
    "BWPreview", "CrossLine", "LightAVG", "CrossMid", "OffsetMid", "ClearView", "ClearViewParam", "Control",
    "H_Off", "V_Off", "ColorAdjustType", "ALL_Gain", "Gamma", "Saturntion", "Sharp", "AEing"};

TEST_F(Settings, EmptyMachineGivesDefaultsAndASaveStoresAll25Dwords) {
    SKIP_WITH_DRIVER_IMAGE(kCallsTheSettingsRoutines);
    Load(640, 480);
    EXPECT_EQ(Device().Command.Exposal, 100u);
    EXPECT_EQ(Device().Command.AllGain[0], 25);
    EXPECT_EQ(Device().Pipeline.Gamma, 16);
    EXPECT_EQ(Device().Image.Contrast, 16);
    SaveSettings(&Device());
    const ULONG expected[] = {100, 500, 500, 500, 16, 0, 0, 1, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 25, 16, 8, 1, 0};
    for (size_t i = 0; i < sizeof(kAllValues) / sizeof(kAllValues[0]); ++i) {
        ULONG value = 0, type = 0;
        ASSERT_TRUE(StoredSetting(kAllValues[i], &value, &type)) << kAllValues[i];
        EXPECT_EQ(type, static_cast<ULONG>(REG_DWORD)) << kAllValues[i];
        EXPECT_EQ(value, expected[i]) << kAllValues[i];
    }
}

TEST_F(Settings, SaveWritesTheValuesInTheirOrder) {
    SKIP_WITH_DRIVER_IMAGE(kCallsTheSettingsRoutines);
    SaveSettings(&Device());
    const std::string text = ReadHostFile("registry.reg");
    size_t last = 0;
    for (const char* name : kAllValues) {
        const size_t at = text.find(std::string("\"") + name + "\"=dword:");
        ASSERT_NE(at, std::string::npos) << name;
        EXPECT_GT(at, last) << name << " out of order";
        last = at;
    }
}

struct LoadCase {
    const char* Why;
    const char* Name;
    ULONG Stored;
    ULONG Loaded;  // as read back through the field
    ULONG Saved;
};

class StoredValue : public Settings, public ::testing::WithParamInterface<LoadCase> {};

ULONG FieldOf(DeviceContext& d, const std::string& name) {
    if (name == "ALL_Gain") return d.Command.AllGain[0] | d.Command.AllGain[1] << 8 | d.Command.AllGain[2] << 16;
    if (name == "BWPreview") return d.Image.BWPreview;
    if (name == "Gamma") return static_cast<ULONG>(d.Pipeline.Gamma);
    if (name == "Saturntion") return d.Image.Saturntion;
    if (name == "Contrast") return d.Image.Contrast;
    if (name == "Control") return d.Command.Control;
    if (name == "Exposal") return d.Command.Exposal;
    if (name == "CrossMid") return d.Image.CrossMid;
    return 0xDEADBEEF;
}

TEST_P(StoredValue, LoadsByItsRuleAndSavesBack) {
    SKIP_WITH_DRIVER_IMAGE(kCallsTheSettingsRoutines);
    const LoadCase& c = GetParam();
    SeedSetting(c.Name, c.Stored);
    Load(1024, 768);
    EXPECT_EQ(FieldOf(Device(), c.Name), c.Loaded) << c.Why;
    SaveSettings(&Device());
    EXPECT_EQ(Stored(c.Name), c.Saved) << c.Why;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, StoredValue,
    ::testing::Values(LoadCase{"gain byte 300 -> 44 in all three", "ALL_Gain", 300, 0x2C2C2C, 44},
                      LoadCase{"flag 7 -> 1", "BWPreview", 7, 1, 1},
                      LoadCase{"flag 0x100: tested on four bytes", "CrossMid", 0x100, 1, 1},
                      LoadCase{"byte of a 32-bit field", "Saturntion", 0x10A, 10, 10},
                      LoadCase{"byte field", "Contrast", 0x1FF, 0xFF, 0xFF},
                      LoadCase{"control byte", "Control", 0x103, 3, 3},
                      LoadCase{"whole dword", "Exposal", 0x12345, 0x12345, 0x12345},
                      LoadCase{"gamma past the table is clamped", "Gamma", 200, 32, 32}));

struct MalformedValueCase {
    const char* Why;
    ULONG Type;
    std::vector<UCHAR> Data;
};

class MalformedValue : public Settings, public ::testing::WithParamInterface<MalformedValueCase> {};

// Exposal is read right after ColorAdjustType, whose four bytes are still in the query buffer.
TEST_P(MalformedValue, CountsAsAbsentAndKeepsTheValueInForce) {
    SKIP_WITH_DRIVER_IMAGE(kCallsTheSettingsRoutines);
    const MalformedValueCase& c = GetParam();
    SeedSetting("ColorAdjustType", 0x11223344);
    SeedSetting("Exposal", c.Type, c.Data.data(), static_cast<ULONG>(c.Data.size()));
    Load(640, 480);
    EXPECT_EQ(Device().Command.Exposal, 100u) << c.Why;
    EXPECT_EQ(Device().Image.ColorAdjustType, 0x11223344u) << "a well-formed value still loads";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedValue,
    ::testing::Values(
        MalformedValueCase{"a two-byte dword would take the previous value's upper bytes",
                           REG_DWORD, {0x2A, 0x01}},
        MalformedValueCase{"an empty dword", REG_DWORD, {}},
        MalformedValueCase{"binary data of dword size is not a number", REG_BINARY,
                           {0x2A, 0x01, 0, 0}},
        MalformedValueCase{"a longer binary value", REG_BINARY, {0x2A, 0x01, 0, 0, 9, 9}},
        MalformedValueCase{"a string", REG_SZ, {'9', 0, '9', 0, 0, 0}},
        MalformedValueCase{"a qword", REG_QWORD, {0x2A, 0x01, 0, 0, 0, 0, 0, 0}},
        MalformedValueCase{"too long for the query buffer", REG_BINARY,
                           std::vector<UCHAR>(200, 7)}));

// The save cannot fail its caller (a stop, a close), but a value that was not stored must not
// pass unnoticed: one trace line says how many and why, and the stored values stay as they were.
TEST_F(Settings, ValuesTheRegistryRefusesAreReportedAndKeepTheirStoredContents) {
    SKIP_WITH_DRIVER_IMAGE(kCallsTheSettingsRoutines);
    SeedSetting("Exposal", 1234);
    Device().Command.Exposal = 999;
    host::ClearDebugLog();
    host::FailRegistryValueWrites(true);
    SaveSettings(&Device());
    host::FailRegistryValueWrites(false);
    ULONG stored = 0;
    ASSERT_TRUE(StoredSetting("Exposal", &stored));
    EXPECT_EQ(stored, 1234u);
    const std::vector<std::string> trace = host::DebugLogLines();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_NE(trace[0].find("25 of 25 values not saved"), std::string::npos) << trace[0];
}

TEST_F(Settings, GainValuesBuildTheirTables) {
    SKIP_WITH_DRIVER_IMAGE(kCallsTheSettingsRoutines);
    SeedSetting("R_Gain", 1000);
    Load(640, 480);
    for (int i = 0; i < 256; ++i) {
        const int expected = std::min(255, static_cast<int>(2 * i + 0.5));
        ASSERT_EQ(Device().Pipeline.RedGain[i], expected) << i;
    }
    EXPECT_EQ(Device().Pipeline.GreenGain[200], 200);
}

struct FallbackCase {
    const char* Why;
    bool HasStored;
    ULONG Stored;
    ULONG Saved;
};

class GainFallback : public Settings, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(GainFallback, UnreadableTableKeepsAUsableStoredValue) {
    SKIP_WITH_DRIVER_IMAGE(kCallsTheSettingsRoutines);
    const FallbackCase& c = GetParam();
    if (c.HasStored) SeedSetting("R_Gain", c.Stored);
    ASSERT_EQ(SetControl(kControlRedGain, 0), STATUS_SUCCESS);  // a table of zeros: GetGain finds nothing
    SaveSettings(&Device());
    EXPECT_EQ(Stored("R_Gain"), c.Saved) << c.Why;
    Load(640, 480);
    EXPECT_EQ(Control(kControlRedGain), c.Saved) << c.Why << ": the next load gives a usable table";
}

INSTANTIATE_TEST_SUITE_P(Cases, GainFallback,
                         ::testing::Values(FallbackCase{"previous value kept", true, 1000, 1000},
                                           FallbackCase{"nothing stored: unity", false, 0, 500},
                                           FallbackCase{"stored zero is no better: unity", true, 0, 500},
                                           FallbackCase{"stored value that saturates: unity", true, 200000, 500}));

struct CentringCase {
    const char* Why;
    LONG Width, Height;
    ULONG Control, OffsetMid;
    LONG WindowX, WindowY;
};

class Centring : public Settings, public ::testing::WithParamInterface<CentringCase> {};

TEST_P(Centring, PlacesTheWindowFromTheStoredMode) {
    SKIP_WITH_DRIVER_IMAGE(kCallsTheSettingsRoutines);
    const CentringCase& c = GetParam();
    SeedSetting("Control", c.Control);
    SeedSetting("OffsetMid", c.OffsetMid);
    SeedSetting("H_Off", 5000);
    SeedSetting("V_Off", 6000);
    Load(c.Width, c.Height);
    EXPECT_EQ(static_cast<LONG>(Device().Command.WindowX), c.WindowX) << c.Why;
    EXPECT_EQ(static_cast<LONG>(Device().Command.WindowY), c.WindowY) << c.Why;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Centring,
    ::testing::Values(CentringCase{"640x480 doubled", 640, 480, 1, 1, 384, 288},
                      CentringCase{"640x480 not doubled", 640, 480, 0, 1, 704, 528},
                      CentringCase{"1280x960: neither doubles", 1280, 960, 1, 1, 384, 288},
                      CentringCase{"1024x1024: only the width doubles", 1024, 1024, 1, 1, 0, 256},
                      CentringCase{"offsets copied without a check", 640, 480, 1, 0, 5000, 6000},
                      CentringCase{"a frame wider than the sensor goes negative", 2592, 4, 1, 1, -272, 764}));

TEST_F(Settings, StoredValuesAreInEffectBeforeAnyStreamAndSurviveAnIdleRun) {
    ShutDown();  // the running adapter would save its own values over the seed at teardown
    SeedSetting("Exposal", 1234);
    SeedSetting("Gamma", 20);
    Restart();
    BringUp();
    EXPECT_EQ(Control(kControlExposal), 1234u) << "a get before the first open shows the stored value";
    EXPECT_DOUBLE_EQ(Device().Pipeline.GammaValue, 1.5) << "and the tone table follows the stored gamma";
    RestartProgram();  // initialized and uninitialized without a stream: saves on the way out
    EXPECT_EQ(Stored("Exposal"), 1234u);
}

TEST_F(Settings, PropertyChangesSurviveCloseAndAProgramRestart) {
    ASSERT_EQ(OpenStream(640, 480), STATUS_SUCCESS);
    ASSERT_EQ(SetControl(kControlExposal, 2500), STATUS_SUCCESS);
    ASSERT_EQ(SetControl(kControlAllGain, 40), STATUS_SUCCESS);
    ASSERT_EQ(SetProcAmp(KSPROPERTY_VIDEOPROCAMP_GAMMA, 24, 0), STATUS_SUCCESS);
    ASSERT_EQ(stream_->Close(), STATUS_SUCCESS);
    stream_.reset();
    RestartProgram();
    ASSERT_EQ(OpenStream(640, 480), STATUS_SUCCESS);
    EXPECT_EQ(Control(kControlExposal), 2500u);
    EXPECT_EQ(Control(kControlAllGain), 40u);
    EXPECT_EQ(ProcAmp(KSPROPERTY_VIDEOPROCAMP_GAMMA).Value, 24);
}

TEST_F(Settings, FormatOtherThanVideoInfoIsRefused) {
    SKIP_WITH_DRIVER_IMAGE(kCallsTheSettingsRoutines);
    KS_DATAFORMAT_VIDEOINFOHEADER format = VideoFormat(640, 480);
    format.DataFormat.Specifier.Data1 ^= 1;
    HW_STREAM_REQUEST_BLOCK srb{};
    srb.CommandData.OpenFormat = &format.DataFormat;
    StreamContext stream{};
    EXPECT_FALSE(LoadSettings(&Device(), &srb, &stream));
    EXPECT_EQ(srb.Status, STATUS_INVALID_PARAMETER);
    format = VideoFormat(640, 480);
    format.DataFormat.FormatSize = sizeof(KSDATAFORMAT);
    EXPECT_FALSE(LoadSettings(&Device(), &srb, &stream)) << "too short to hold the bitmap header";
}

TEST_F(Settings, GeometryIsTakenFromTheFormat) {
    SKIP_WITH_DRIVER_IMAGE(kCallsTheSettingsRoutines);
    KS_DATAFORMAT_VIDEOINFOHEADER format = VideoFormat(1280, 1024);
    format.VideoInfoHeader.AvgTimePerFrame = 333333;
    HW_STREAM_REQUEST_BLOCK srb{};
    srb.CommandData.OpenFormat = &format.DataFormat;
    StreamContext stream{};
    ASSERT_TRUE(LoadSettings(&Device(), &srb, &stream));
    EXPECT_EQ(Device().Command.FrameWidth, 1280u);
    EXPECT_EQ(Device().Command.FrameHeight, 1024u);
    EXPECT_EQ(Device().ImageSize, 1280u * 1024 * 3);
    EXPECT_EQ(Device().TransfersPerFrame, 1310720u / 524288 + 1);
    EXPECT_EQ(Device().LastTransferBytes, 1310720u % 524288);
    EXPECT_EQ(stream.AvgTimePerFrame, 333333);
}

}  // namespace
}  // namespace controls_test
