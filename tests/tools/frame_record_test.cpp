// The per-frame record read back by `process --replay`: what a capture writes parses to the
// same record, and a line a user (or a damaged file) hands over is refused with status 2
// naming the line, never converted into something else.
#include <gtest/gtest.h>

#include <string>

#include "tools/command.h"
#include "tools/frame_record.h"

namespace vexacam::tools {
namespace {

FrameRecord Sample() {
    FrameRecord r;
    r.Frame = 7;
    r.PictureNumber = 41;
    r.PresentationTime = 640000;
    r.Duration = 160000;
    r.DroppedSoFar = 3;
    r.Width = 640;
    r.Height = 480;
    r.Saved = true;
    r.Files = {"frame-0007.bmp", "raw-0007.raw"};
    r.State.Settings = {{"Contrast", 20}, {"Exposal", 1744}};
    r.State.WhiteBalancePending = true;
    GainTables tables;
    for (int i = 0; i < 256; ++i) tables.Green[i] = static_cast<uint8_t>(255 - i);
    r.State.Tables = tables;
    r.GainMapFile = "Vexa_640.dat";
    r.ReplayChecked = true;
    return r;
}

TEST(FrameRecord, WhatACaptureWritesReadsBackAsTheSameRecord) {
    const FrameRecord written = Sample();
    const FrameRecord read = ParseRecordLine(RecordLine(written), 1);
    EXPECT_EQ(read.Frame, 7u);
    EXPECT_EQ(read.PictureNumber, 41);
    EXPECT_EQ(read.PresentationTime, 640000);
    EXPECT_EQ(read.DroppedSoFar, 3);
    EXPECT_EQ(read.Files, written.Files);
    EXPECT_EQ(read.State.Settings, written.State.Settings);
    EXPECT_TRUE(read.State.WhiteBalancePending);
    EXPECT_FALSE(read.State.ExposurePending);
    EXPECT_EQ(read.State.Tables, written.State.Tables);
    EXPECT_EQ(read.GainMapFile, "Vexa_640.dat");
    EXPECT_EQ(read.DefectTableFile, "");
    EXPECT_TRUE(read.ReplayChecked);
}

TEST(FrameRecord, ALineThatIsNotAFaithfulRecordIsRefusedNamingTheLine) {
    const std::string good = RecordLine(Sample());
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string line = good;
        line.replace(line.find(from), from.size(), to);
        return line;
    };
    const struct {
        std::string Line;
        const char* Why;
    } cases[] = {
        {"{\"frame\": 1,", "cut short"},
        {replaced("\"width\":640", "\"width\":640.5"), "a fraction is not a size"},
        {replaced("\"width\":640", "\"width\":1e40"), "a float far out of range (converting it is undefined)"},
        {replaced("\"frame\":7", "\"frame\":-7"), "a negative frame number would wrap"},
        {replaced("\"Contrast\":20", "\"Contrast\":4294967296"), "a setting beyond 32 bits would be cut"},
        {replaced("\"Contrast\":20", "\"Contrast\":-1"), "a negative setting would wrap to 4294967295"},
        {replaced("\"Contrast\":20", "\"Contrast\":\"20\""), "a setting given as text"},
        {replaced("\"Vexa_640.dat\"", "\"../../secret.dat\""), "a calibration file outside the capture"},
        {replaced("\"raw-0007.raw\"", "\"/tmp/raw-0007.raw\""), "a file named by a path"},
        {replaced("\"raw-0007.raw\"", "\"..\""), "the parent directory as a file"},
        {replaced("\"saved\":true", "\"saved\":1"), "a flag given as a number"},
    };
    for (const auto& c : cases) {
        try {
            ParseRecordLine(c.Line, 12);
            ADD_FAILURE() << "accepted: " << c.Why;
        } catch (const CommandFailure& refused) {
            EXPECT_EQ(refused.Status(), kUsageError) << c.Why;
            EXPECT_NE(std::string(refused.what()).find("line 12"), std::string::npos) << c.Why << ": " << refused.what();
        }
    }
}

}  // namespace
}  // namespace vexacam::tools
