// Gain tables from values and back, and the gamma choices.
#include <gtest/gtest.h>

#include <array>

#include "imaging/gain_table.h"
#include "imaging/gamma_table.h"

namespace vexacam::test {
namespace {

using Table = std::array<UCHAR, 256>;

Table TableFor(LONG value) {
    Table table{};
    SetGain(table.data(), value);
    return table;
}

TEST(SetGain, EntriesFollowTheValueOver500) {
    struct Case {
        LONG value;
        int index;
        int entry;
        const char* reason;
    };
    const Case cases[] = {
        {500, 77, 77, "500 is unity"},
        {1000, 127, 254, "x2 below saturation"},
        {1000, 128, 255, "x2 saturates from 128 on"},
        // 145 / 500 is just below 0.29 in double, so 50 x g + 0.5 falls just short of 15;
        // multiplying first (50 x 145 / 500 = 14.5 exactly) would give 15.
        {145, 50, 14, "value / 500 first, in double precision"},
        {145, 10, 3, "2.9 + 0.5 truncates to 3"},
        {250, 3, 2, "x0.5: 1.5 + 0.5 = 2"},
        {0, 255, 0, "zero gain darkens everything"},
        {-500, 200, 0, "negative gains clamp to 0"},
        {6000, 22, 255, "the largest published gain saturates early"},
        {500, 0, 0, "entry 0 is always 0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TableFor(c.value)[c.index], c.entry) << c.reason;
    }
}

TEST(GetGain, ReadsBackTheValueATableWasBuiltFrom) {
    for (LONG value : {500, 1000, 750, 250, 100, 2000}) {
        ULONG readBack = 0;
        const Table table = TableFor(value);
        ASSERT_TRUE(GetGain(table.data(), &readBack)) << value;
        EXPECT_NEAR(static_cast<double>(readBack), value, value / 40.0) << value;
    }
    ULONG exact = 0;
    ASSERT_TRUE(GetGain(TableFor(500).data(), &exact));
    EXPECT_EQ(exact, 500u);
    ASSERT_TRUE(GetGain(TableFor(1000).data(), &exact));
    EXPECT_EQ(exact, 1000u);
}

TEST(GetGain, ReadsBackAValueThatBuildsExactlyTheTable) {
    // The slope of one entry alone read 700 back as 699, and a stored 700 came back as 699.
    // Some neighbours build one table (999 and 1000 both double every entry below 128).
    for (LONG value = 1; value <= 6000; ++value) {
        const Table table = TableFor(value);
        ULONG readBack = 0;
        ASSERT_TRUE(GetGain(table.data(), &readBack)) << value;
        ASSERT_EQ(TableFor(static_cast<LONG>(readBack)), table) << value << " read back as " << readBack;
    }
    ULONG value = 0;
    ASSERT_TRUE(GetGain(TableFor(700).data(), &value));
    EXPECT_EQ(value, 700u);
}

TEST(GetGain, LeavesTheOutputAloneWhenNoEntryHasASlope) {
    ULONG value = 1234;
    EXPECT_FALSE(GetGain(TableFor(0).data(), &value)) << "all entries 0";
    Table saturated{};
    saturated.fill(255);
    EXPECT_FALSE(GetGain(saturated.data(), &value)) << "all entries 255";
    EXPECT_EQ(value, 1234u);
}

TEST(GetGain, NeverDividesByEntryZero) {
    // Only entry 0 holds a usable level: it carries no slope, so nothing is read.
    Table table{};
    table.fill(255);
    table[0] = 9;
    ULONG value = 77;
    EXPECT_FALSE(GetGain(table.data(), &value));
    EXPECT_EQ(value, 77u);
}

TEST(FillGainTable, FactorOfFourSaturatesFrom64) {
    Table table{};
    FillGainTable(table.data(), 4.0);
    EXPECT_EQ(table[63], 252);
    EXPECT_EQ(table[64], 255);
}

TEST(GammaTable, ChoicesRunFrom0375To3WithExactUnityAt16) {
    double gamma[GammaTableEntries];
    FillGammaTable(gamma);
    EXPECT_DOUBLE_EQ(gamma[0], 0.375);
    EXPECT_DOUBLE_EQ(gamma[1], 0.375);
    EXPECT_NEAR(gamma[2], 0.4167, 1e-4);
    EXPECT_EQ(gamma[16], 1.0) << "must be exact: 1.0 switches the tone stage off";
    EXPECT_EQ(gamma[17], 1.125);
    EXPECT_EQ(gamma[32], 3.0);
}

TEST(GammaTable, IndexesOutsideTheTableAreClamped) {
    double gamma[GammaTableEntries];
    FillGammaTable(gamma);
    const struct {
        LONG index;
        LONG clamped;
    } cases[] = {{-1, 0}, {-2147483647 - 1, 0}, {0, 0}, {32, 32}, {33, 32}, {255, 32}, {20, 20}};
    for (const auto& c : cases) {
        EXPECT_EQ(ClampGammaIndex(c.index), c.clamped) << c.index;
        EXPECT_EQ(GammaForIndex(gamma, c.index), gamma[c.clamped]) << c.index;
    }
}

TEST(LogTable, EntryZeroIsZeroAndTheRestLog10) {
    double logs[LogTableEntries];
    FillLogTable(logs);
    EXPECT_EQ(logs[0], 0.0);
    EXPECT_EQ(logs[1], 0.0);
    EXPECT_DOUBLE_EQ(logs[100], 2.0);
}

}  // namespace
}  // namespace vexacam::test
