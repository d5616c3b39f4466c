// The fault campaign at a size the test suite can afford; bench/campaign_bench.cpp runs the
// full one. Each session's seed is in every failure line, so a failure replays exactly.
#include <gtest/gtest.h>

#include "tests/campaign/campaign_session.h"

namespace {

constexpr uint32_t kFirstSeed = 1;
constexpr uint32_t kSessions = 12;

TEST(FaultCampaign, NoSessionBreaksAnInvariant) {
    uint64_t events = 0;
    for (uint32_t seed = kFirstSeed; seed < kFirstSeed + kSessions; ++seed) {
        const campaign::SessionResult result = campaign::RunSession(seed);
        events += result.Events;
        for (const std::string& failure : result.Failures) ADD_FAILURE() << failure;
    }
    EXPECT_GT(events, kSessions * 20u) << "the sessions injected hardly anything";
}

}  // namespace
