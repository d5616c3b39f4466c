// Both processor state brackets give the caller back its control settings: a driver image sets
// the x87 unit to double precision inside them, and the host's own long double arithmetic must
// not inherit that once the driver is done. And MmGetSystemRoutineAddress, by which a driver
// finds the extended one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/kernel/processor_state.h"
#include "platform/kernel.h"
#include "platform/registry.h"

namespace host_test {
namespace {

#if defined(__i386__) || defined(__x86_64__)

unsigned short X87Control() {
    unsigned short control;
    __asm__ volatile("fnstcw %0" : "=m"(control));
    return control;
}
void SetX87Control(unsigned short control) { __asm__ volatile("fldcw %0" : : "m"(control)); }
unsigned int SseControl() {
    unsigned int control;
    __asm__ volatile("stmxcsr %0" : "=m"(control));
    return control;
}
void SetSseControl(unsigned int control) { __asm__ volatile("ldmxcsr %0" : : "m"(control)); }

// Each save of the platform, bracketing the same change.
struct Bracket {
    const char* Name;
    void (*Save)(void* state);
    void (*Restore)(void* state);
};

union SaveArea {
    KFLOATING_SAVE FloatingPoint;
    XSTATE_SAVE Extended;
};

const Bracket kBrackets[] = {
    {"KeSaveFloatingPointState",
     [](void* s) { ASSERT_EQ(KeSaveFloatingPointState(&static_cast<SaveArea*>(s)->FloatingPoint),
                             STATUS_SUCCESS); },
     [](void* s) { ASSERT_EQ(KeRestoreFloatingPointState(
                                 &static_cast<SaveArea*>(s)->FloatingPoint),
                             STATUS_SUCCESS); }},
    {"KeSaveExtendedProcessorState",
     [](void* s) { ASSERT_EQ(KeSaveExtendedProcessorState(XSTATE_MASK_LEGACY | XSTATE_MASK_AVX,
                                                          &static_cast<SaveArea*>(s)->Extended),
                             STATUS_SUCCESS); },
     [](void* s) { KeRestoreExtendedProcessorState(&static_cast<SaveArea*>(s)->Extended); }},
};

TEST(FloatingPointState, RestoreGivesBackTheControlSettingsChangedInsideTheBracket) {
    for (const Bracket& bracket : kBrackets) {
        const unsigned short x87 = X87Control();
        const unsigned int sse = SseControl();
        SaveArea save;
        bracket.Save(&save);
        SetX87Control(0x027F);        // double precision, as the image sets it
        SetSseControl(sse | 0x6000);  // round toward zero
        bracket.Restore(&save);
        EXPECT_EQ(X87Control(), x87) << bracket.Name;
        EXPECT_EQ(SseControl(), sse) << bracket.Name;
    }
}

#endif

// A driver finds the extended save by name, and only on a system that has it.
struct RoutineCase {
    const char* Name;
    bool Offered;
    bool Found;
    const char* Why;
};

TEST(SystemRoutineAddress, FindsWhatTheSystemExportsAndNothingElse) {
    const RoutineCase kCases[] = {
        {"KeSaveExtendedProcessorState", true, true, "a newer system has the extended save"},
        {"KeRestoreExtendedProcessorState", true, true, "and its restore"},
        {"KeSaveExtendedProcessorState", false, false, "an older system has neither"},
        {"KeRestoreExtendedProcessorState", false, false, "nor the restore"},
        {"KeSaveFloatingPointState", false, true, "every system has the floating-point save"},
        {"KfRaiseIrql", true, true, "the HAL's exports are found too"},
        {"KeSaveExtendedProcessorStat", true, false, "names compare whole"},
        {"kesaveextendedprocessorstate", true, false, "and with case"},
        {"", true, false, "no name, no routine"},
    };
    for (const RoutineCase& c : kCases) {
        host::OfferExtendedStateSave(c.Offered);
        const std::u16string wide(c.Name, c.Name + std::strlen(c.Name));
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, reinterpret_cast<PCWSTR>(wide.c_str()));
        EXPECT_EQ(MmGetSystemRoutineAddress(&name) != nullptr, c.Found) << c.Name << ": " << c.Why;
    }
    host::OfferExtendedStateSave(true);
}

}  // namespace
}  // namespace host_test
