// The kernel image carries its own log10 (no kernel module exports one). It must give the
// host C library's doubles for every logarithm table argument: a correctly rounded log10
// differs from the library's in the last place for 15 of them, enough to change the tone
// table of one gamma setting.
#include "platform/win32/x87_math.h"

#include "imaging/gamma_table.h"
#include "imaging/tone_table.h"

#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

namespace {

unsigned short ReadFpuControl() {
    unsigned short Control;
    __asm__ volatile("fnstcw %0" : "=m"(Control));
    return Control;
}

void LoadFpuControl(unsigned short Control) { __asm__ volatile("fldcw %0" : : "m"(Control)); }

bool SameBits(double A, double B) { return memcmp(&A, &B, sizeof(double)) == 0; }

struct PrecisionCase {
    const char* Name;
    unsigned short Control;  // x87 control word: exceptions masked, round to nearest
};

// Runs each case at the precision the kernel variant sets after saving the caller's state
// (53-bit) and at the extended precision a caller may have left.
class KernelLog10 : public ::testing::TestWithParam<PrecisionCase> {
  protected:
    void SetUp() override {
        Saved = ReadFpuControl();
        LoadFpuControl(GetParam().Control);
    }
    void TearDown() override { LoadFpuControl(Saved); }

    // The reference is the 64-bit C library. The 32-bit build links this very log10 in its
    // place (the 32-bit library's differs), so there the comparison would prove nothing.
    static bool HostLibraryIsTheReference() {
#if defined(__i386__)
        return false;
#else
        return true;
#endif
    }

    void FillKernelLogTable(double* LogTable) {
        LogTable[0] = 0.0;
        for (ULONG Index = 1; Index < LogTableEntries; ++Index) {
            LogTable[Index] = X87Log10(static_cast<double>(Index));
        }
    }

    unsigned short Saved = 0;
};

TEST_P(KernelLog10, GivesTheHostLibrarysValueForEveryLogTableArgument) {
    if (!HostLibraryIsTheReference()) GTEST_SKIP() << "the 64-bit build compares with the reference";
    for (unsigned Index = 1; Index < LogTableEntries; ++Index) {
        const double Expected = log10(static_cast<double>(Index));
        const double Actual = X87Log10(static_cast<double>(Index));
        EXPECT_TRUE(SameBits(Expected, Actual)) << "log10(" << Index << "): " << Actual
                                                << " instead of " << Expected;
    }
}

TEST_P(KernelLog10, GivesTheHostLibrarysValueBelowOne) {
    if (!HostLibraryIsTheReference()) GTEST_SKIP() << "the 64-bit build compares with the reference";
    const double Arguments[] = {0.5, 0.3, 0.1, 1.0 / 3.0, 0.999, 1e-3};
    for (double Argument : Arguments) {
        EXPECT_TRUE(SameBits(log10(Argument), X87Log10(Argument))) << Argument;
    }
}

TEST_P(KernelLog10, GivesExactPowersOfTen) {
    const struct {
        double Value;
        double Exponent;
    } Powers[] = {{1.0, 0.0}, {10.0, 1.0}, {100.0, 2.0}, {1000.0, 3.0}, {1e6, 6.0}};
    for (const auto& Power : Powers) EXPECT_EQ(Power.Exponent, X87Log10(Power.Value)) << Power.Value;
}

TEST_P(KernelLog10, BuildsTheHostsToneTableForEveryGammaIndex) {
    if (!HostLibraryIsTheReference()) GTEST_SKIP() << "the 64-bit build compares with the reference";
    double HostLog[LogTableEntries];
    double KernelLog[LogTableEntries];
    double Gammas[GammaTableEntries];
    FillLogTable(HostLog);
    FillKernelLogTable(KernelLog);
    FillGammaTable(Gammas);
    for (LONG Index = 0; Index < static_cast<LONG>(GammaTableEntries); ++Index) {
        UCHAR HostTone[256] = {};
        UCHAR KernelTone[256] = {};
        double HostGamma = -1.0;  // no table built yet
        double KernelGamma = -1.0;
        BuildToneTable(&HostGamma, GammaForIndex(Gammas, Index), HostTone, HostLog);
        BuildToneTable(&KernelGamma, GammaForIndex(Gammas, Index), KernelTone, KernelLog);
        EXPECT_EQ(0, memcmp(HostTone, KernelTone, sizeof(HostTone))) << "gamma index " << Index;
    }
}

TEST_P(KernelLog10, LeavesThePrecisionControlAsItFoundIt) {
    X87Log10(42.0);
    EXPECT_EQ(GetParam().Control, ReadFpuControl());
}

INSTANTIATE_TEST_SUITE_P(PrecisionControl, KernelLog10,
                         ::testing::Values(PrecisionCase{"Double", 0x027F},
                                           PrecisionCase{"Extended", 0x037F}),
                         [](const ::testing::TestParamInfo<PrecisionCase>& Info) {
                             return std::string(Info.param.Name);
                         });

}  // namespace
