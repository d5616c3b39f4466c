// The floating-point bracket gives the caller back its control settings: a driver image sets
// the x87 unit to double precision inside it, and the host's own long double arithmetic must
// not inherit that once the driver is done.
#include <gtest/gtest.h>

#include "platform/kernel.h"

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

TEST(FloatingPointState, RestoreGivesBackTheControlSettingsChangedInsideTheBracket) {
    const unsigned short x87 = X87Control();
    const unsigned int sse = SseControl();
    KFLOATING_SAVE save;
    ASSERT_EQ(KeSaveFloatingPointState(&save), STATUS_SUCCESS);
    SetX87Control(0x027F);             // double precision, as the image sets it
    SetSseControl(sse | 0x6000);       // round toward zero
    ASSERT_EQ(KeRestoreFloatingPointState(&save), STATUS_SUCCESS);
    EXPECT_EQ(X87Control(), x87);
    EXPECT_EQ(SseControl(), sse);
}

#endif

}  // namespace
}  // namespace host_test
