// Calibration files: loading by width, the captures' arithmetic and file names, and that no
// frame size moves a step past the gain map or the raw frame.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "controls/calibration.h"
#include "driver/device_context.h"
#include "imaging/calibration_capture.h"
#include "host/files/file_faults.h"
#include "host/kernel/debug_log.h"
#include "driver_under_test.h"
#include "registry/temp_machine.h"

namespace controls_test {
namespace {

class Calibration : public TempMachine {
protected:
    void SetUp() override {
        TempMachine::SetUp();
        SKIP_WITH_DRIVER_IMAGE("calls the compiled-in calibration routines on a record of its own");
        device_ = std::make_unique<DeviceContext>();
        gains_.assign(kGainMapEntries, 0);
        device_->Pipeline.GainMap = gains_.data();
    }

    // A capture as the frame sequence runs it, then kept as the driver keeps it.
    void CaptureGainMapAndSave(ULONG width, ULONG height, const UCHAR* frame) {
        CaptureGainMap(width, height, frame, &device_->Pipeline);
        SaveGainMap(device_.get(), width, height);
    }
    void CaptureDefectTableAndSave(const UCHAR* frame, ULONG height, ULONG width) {
        CaptureDefectTable(frame, height, width, &device_->Pipeline);
        SaveDefectTable(device_.get(), width);
    }

    std::string DefectFile(const std::vector<USHORT>& xy) {
        return std::string(reinterpret_cast<const char*>(xy.data()), xy.size() * 2);
    }

    std::unique_ptr<DeviceContext> device_;
    std::vector<SHORT> gains_;
};

TEST_F(Calibration, MissingFilesGiveUnityGainsForTheFrameAndNoDefects) {
    // One entry, a count that ends part-way through a doubling, a frame format, and a frame
    // larger than the map.
    const struct { ULONG Width, Height; } sizes[] = {{1, 1}, {3, 1}, {1280, 1024}, {4096, 4096}};
    for (const auto& size : sizes) {
        gains_.assign(kGainMapEntries, 7);
        device_->Pipeline.DefectCount = 12;
        LoadCalibration(device_.get(), size.Width, size.Height);
        const size_t entries = std::min<size_t>(size_t{size.Width} * size.Height, kGainMapEntries);
        for (size_t i = 0; i < entries; ++i) ASSERT_EQ(gains_[i], 64) << size.Width << " " << i;
        if (entries < kGainMapEntries) {
            EXPECT_EQ(gains_[entries], 7) << "entries past the frame keep their values";
        }
        EXPECT_EQ(device_->Pipeline.DefectCount, 0u);
    }
}

TEST_F(Calibration, GainFileFillsTheLeadingEntries) {
    const std::vector<SHORT> stored = {100, -2, 300};
    WriteHostFile("SystemRoot/Vexa_640.dat", std::string(reinterpret_cast<const char*>(stored.data()), 6));
    gains_.assign(kGainMapEntries, 7);
    LoadCalibration(device_.get(), 640, 480);
    EXPECT_EQ(gains_[0], 100);
    EXPECT_EQ(gains_[1], -2);
    EXPECT_EQ(gains_[2], 300);
    EXPECT_EQ(gains_[3], 7) << "a short file fills only what it holds";
}

struct DefectFileCase {
    const char* Why;
    size_t Bytes;
    ULONG Count;  // expected DefectCount; the previous count is 5
};

class DefectFile : public Calibration, public ::testing::WithParamInterface<DefectFileCase> {};

TEST_P(DefectFile, LoadsWholeRecordsOrKeepsTheTable) {
    const DefectFileCase& c = GetParam();
    std::string bytes(c.Bytes, '\0');
    for (size_t i = 0; i < c.Bytes; ++i) bytes[i] = static_cast<char>(i + 1);
    WriteHostFile("SystemRoot/Vexa_800.bpt", bytes);
    device_->Pipeline.DefectCount = 5;
    device_->Pipeline.DefectTable[0] = {77, 88};
    LoadCalibration(device_.get(), 800, 600);
    EXPECT_EQ(device_->Pipeline.DefectCount, c.Count) << c.Why;
    const USHORT firstX = c.Bytes == 0 ? 77 : 0x0201;
    EXPECT_EQ(device_->Pipeline.DefectTable[0].X, firstX) << c.Why;
}

INSTANTIATE_TEST_SUITE_P(Sizes, DefectFile,
                         ::testing::Values(DefectFileCase{"ten bytes: two records", 10, 2},
                                           DefectFileCase{"empty file keeps the table", 0, 5},
                                           DefectFileCase{"more than 100,000 records", 400008, 100000}));

TEST_F(Calibration, UniformFrameCapturesGainsOf63AndWritesThem) {
    const ULONG width = 640, height = 480;
    std::vector<UCHAR> frame(width * height, 128);
    frame[5] = 0;  // a dark pixel counts as 1: gain = 64 x L
    CaptureGainMapAndSave(width, height, frame.data());
    EXPECT_EQ(gains_[0], 63);
    EXPECT_EQ(gains_[5], 64 * 127);
    EXPECT_EQ(gains_[width * height - 1], 63);
    const std::string file = ReadHostFile("SystemRoot/Vexa_640.dat");
    ASSERT_EQ(file.size(), width * height * 2);
    EXPECT_EQ(std::memcmp(file.data(), gains_.data(), file.size()), 0);
}

struct ShortWriteCase {
    const char* Why;
    ULONG BytesWritten;  // what the disk takes before it is full
};

class ShortWrite : public Calibration, public ::testing::WithParamInterface<ShortWriteCase> {};

// A capture whose file cannot be written whole leaves the good file in place, not a torn one
// that the next load would take for a gain map; nothing else is left behind.
TEST_P(ShortWrite, KeepsThePreviousFileWholeAndSaysSo) {
    const ULONG width = 640, height = 480;
    const std::string good(width * height * 2, '\x40');
    WriteHostFile("SystemRoot/Vexa_640.dat", good);
    std::vector<UCHAR> frame(width * height, 128);
    host::FailFileWritesAfter(GetParam().BytesWritten);
    CaptureGainMapAndSave(width, height, frame.data());
    host::ClearFileWriteFailure();
    EXPECT_EQ(ReadHostFile("SystemRoot/Vexa_640.dat"), good) << GetParam().Why;
    EXPECT_FALSE(HostFileExists("SystemRoot/Vexa_640.dat.new")) << GetParam().Why;
    EXPECT_EQ(gains_[0], 63) << "the new map is in effect in memory all the same";
    const std::vector<std::string> trace = host::DebugLogLines();
    ASSERT_EQ(trace.size(), 1u) << GetParam().Why;
    EXPECT_NE(trace[0].find("gain map captured but not saved"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Disks, ShortWrite,
    ::testing::Values(ShortWriteCase{"the disk is full from the start", 0},
                      ShortWriteCase{"the disk fills half way through", 307200},
                      ShortWriteCase{"the last byte does not fit", 614399}));

TEST_F(Calibration, CaptureReplacesAnEarlierFileWhole) {
    const ULONG width = 640, height = 480;
    WriteHostFile("SystemRoot/Vexa_640.dat", std::string(width * height * 4, '\x01'));
    std::vector<UCHAR> frame(width * height, 128);
    CaptureGainMapAndSave(width, height, frame.data());
    EXPECT_EQ(ReadHostFile("SystemRoot/Vexa_640.dat").size(), width * height * 2)
        << "a longer earlier file leaves no tail";
    EXPECT_FALSE(HostFileExists("SystemRoot/Vexa_640.dat.new"));
}

TEST_F(Calibration, HotPixelIsRecordedButNotItsNeighbours) {
    const ULONG width = 64, height = 48;
    std::vector<UCHAR> frame(width * height, 10);
    frame[20 * width + 30] = 255;
    frame[0 * width + 0] = 255;                      // row 0: never scanned
    frame[(height - 2) * width + width - 2] = 255;   // last rows and columns: never scanned
    CaptureDefectTableAndSave(frame.data(), height, width);
    ASSERT_EQ(device_->Pipeline.DefectCount, 1u);
    EXPECT_EQ(device_->Pipeline.DefectTable[0].X, 30);
    EXPECT_EQ(device_->Pipeline.DefectTable[0].Y, 20);
    const std::string file = ReadHostFile("SystemRoot/Vexa_user.bpt");
    EXPECT_EQ(file, DefectFile({30, 20}));
}

TEST_F(Calibration, FlatFrameWritesAnEmptyDefectFile) {
    std::vector<UCHAR> frame(640 * 480, 50);
    device_->Pipeline.DefectCount = 3;
    CaptureDefectTableAndSave(frame.data(), 480, 640);
    EXPECT_EQ(device_->Pipeline.DefectCount, 0u);
    EXPECT_TRUE(HostFileExists("SystemRoot/Vexa_640.bpt"));
    EXPECT_EQ(ReadHostFile("SystemRoot/Vexa_640.bpt").size(), 0u);
}

TEST_F(Calibration, Width872CapturesToTheUserFilesButLoadsItsOwn) {
    std::vector<UCHAR> frame(872 * 8, 128);
    CaptureGainMapAndSave(872, 8, frame.data());
    CaptureDefectTableAndSave(frame.data(), 8, 872);
    EXPECT_TRUE(HostFileExists("SystemRoot/Vexa_user.dat"));
    EXPECT_TRUE(HostFileExists("SystemRoot/Vexa_user.bpt"));
    EXPECT_FALSE(HostFileExists("SystemRoot/Vexa_872.dat"));
    WriteHostFile("SystemRoot/Vexa_872.bpt", DefectFile({1, 2, 3, 4, 5, 6}));
    LoadCalibration(device_.get(), 872, 8);
    EXPECT_EQ(device_->Pipeline.DefectCount, 3u) << "the load reads the width's own file";
}

TEST_F(Calibration, FileNamesFollowTheTwoLists) {
    struct Case {
        ULONG Width;
        const char16_t* Load;
        const char16_t* Capture;
    };
    for (const Case& c : {Case{640, u"\\SystemRoot\\Vexa_640.dat", u"\\SystemRoot\\Vexa_640.dat"},
                          Case{1744, u"\\SystemRoot\\Vexa_1744.dat", u"\\SystemRoot\\Vexa_user.dat"},
                          Case{3488, u"\\SystemRoot\\Vexa_3488.dat", u"\\SystemRoot\\Vexa_user.dat"},
                          Case{2592, u"\\SystemRoot\\Vexa_2592.dat", u"\\SystemRoot\\Vexa_2592.dat"},
                          Case{1000, u"\\SystemRoot\\Vexa_user.dat", u"\\SystemRoot\\Vexa_user.dat"}}) {
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(GainMapFileName(c.Width, FALSE))), c.Load) << c.Width;
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(GainMapFileName(c.Width, TRUE))), c.Capture) << c.Width;
    }
}

TEST_F(Calibration, FramesLargerThanTheMapNeverPassItsEnd) {
    // The map here is exactly kGainMapEntries long, so ASan stops any step that runs past it.
    LoadCalibration(device_.get(), 2592, 1944);
    EXPECT_EQ(gains_[kGainMapEntries - 1], 64);
    WriteHostFile("SystemRoot/Vexa_3488.dat", std::string(8000000, '\1'));
    LoadCalibration(device_.get(), 3488, 2616);
    EXPECT_EQ(gains_[kGainMapEntries - 1], 0x0101);
    std::vector<UCHAR> frame(kRawFrameBytes, 128);
    gains_[0] = 5;
    CaptureGainMapAndSave(2592, 1944, frame.data());
    EXPECT_EQ(gains_[0], 5) << "but a frame no raw buffer can hold is not measured";
    CaptureDefectTableAndSave(frame.data(), 1944, 2592);
}

TEST_F(Calibration, TinyFramesScanNothingAndReadNothingPastTheirEnd) {
    for (ULONG side : {1u, 2u, 3u}) {
        std::vector<UCHAR> frame(side * side, 200);
        CaptureGainMapAndSave(side, side, frame.data());
        CaptureDefectTableAndSave(frame.data(), side, side);
        EXPECT_EQ(device_->Pipeline.DefectCount, 0u) << side;
    }
}

}  // namespace
}  // namespace controls_test
