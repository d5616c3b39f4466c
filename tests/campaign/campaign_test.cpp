// The fault campaign at a size the test suite can afford; bench/campaign_bench.cpp runs the
// full one. Each session's seed is in every failure line, so a failure replays exactly.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/campaign/campaign_session.h"

namespace {

// The suite's size; a longer run (the kernel image's, in shards) sets both in the environment.
uint32_t FromEnvironment(const char* name, uint32_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10))
                                             : fallback;
}

TEST(FaultCampaign, NoSessionBreaksAnInvariant) {
    const uint32_t first = FromEnvironment("VEXACAM_CAMPAIGN_FIRST_SEED", 1);
    const uint32_t sessions = FromEnvironment("VEXACAM_CAMPAIGN_SESSIONS", 12);
    uint64_t events = 0;
    for (uint32_t seed = first; seed < first + sessions; ++seed) {
        const campaign::SessionResult result = campaign::RunSession(seed);
        events += result.Events;
        for (const std::string& failure : result.Failures) ADD_FAILURE() << failure;
    }
    EXPECT_GT(events, sessions * 20u) << "the sessions injected hardly anything";
}

}  // namespace
