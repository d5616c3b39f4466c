// Each test starts from a fresh host on the manual clock and must leave no system thread behind.
#pragma once

#include <gtest/gtest.h>

#include "host/kernel/clock.h"
#include "host/kernel/host_reset.h"

namespace host_test {

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Service threads exist in this process; a forked death test would not have them.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        host::ResetHost();
        host::UseManualClock(kStart);
    }

    void TearDown() override {
        host::RunUntilIdle();
        EXPECT_EQ(host::LiveSystemThreadCount(), 0u) << "a test left a system thread running";
    }

    static constexpr LONGLONG kStart = host::kDefaultManualStart;
};

inline LARGE_INTEGER Relative(LONGLONG delta) {
    LARGE_INTEGER value;
    value.QuadPart = -delta;
    return value;
}

inline LARGE_INTEGER Absolute(LONGLONG time) {
    LARGE_INTEGER value;
    value.QuadPart = time;
    return value;
}

}  // namespace host_test
