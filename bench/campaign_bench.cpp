// The full fault campaign: `bench_campaign [sessions] [first seed]` (10,000 sessions from seed
// 1 by default) runs seeded sessions of tests/campaign one after another and prints the
// sessions run, the events injected by kind and every invariant failure with its seed.
// Exits non-zero when an invariant failed. Figures go to the README's reliability section.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "tests/campaign/campaign_session.h"

int main(int argc, char** argv) {
    const uint32_t sessions = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10))
                                       : 10000;
    const uint32_t firstSeed = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10))
                                        : 1;
    const auto start = std::chrono::steady_clock::now();
    uint64_t events = 0;
    uint64_t failures = 0;
    int64_t longestOperation = 0;
    std::map<std::string, uint64_t> byKind;
    for (uint32_t i = 0; i < sessions; ++i) {
        const campaign::SessionResult result = campaign::RunSession(firstSeed + i);
        events += result.Events;
        longestOperation = std::max(longestOperation, result.LongestOperation);
        for (const auto& [kind, count] : result.ByKind) byKind[kind] += count;
        for (const std::string& failure : result.Failures) {
            std::printf("FAIL %s\n", failure.c_str());
            ++failures;
        }
        if ((i + 1) % 500 == 0) {
            std::printf("%u sessions, %llu events, %llu failures\n", i + 1,
                        static_cast<unsigned long long>(events),
                        static_cast<unsigned long long>(failures));
            std::fflush(stdout);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("sessions %u (seeds %u..%u), events injected %llu, invariant failures %llu, "
                "%.0f s; the slowest operation needed %.1f ms of host time\n",
                sessions, firstSeed, firstSeed + sessions - 1,
                static_cast<unsigned long long>(events), static_cast<unsigned long long>(failures),
                seconds, static_cast<double>(longestOperation) / 10000.0);
    for (const auto& [kind, count] : byKind) {
        std::printf("  %-40s %llu\n", kind.c_str(), static_cast<unsigned long long>(count));
    }
    return failures == 0 ? 0 : 1;
}
