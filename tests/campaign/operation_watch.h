// A watchdog for the campaign: every driver operation must return within a bound of host
// time. The host clock is manual and the test thread is inside the operation, so an operation
// that waits for time to pass (a recovery polling with KeDelayExecutionThread, say) would never
// see it pass: when an operation has not returned after a moment of real time, the watchdog
// moves the clock on in small steps, as time would. An operation that needs more than the bound
// of host time, or a minute of real time, stops the process with the seed and its name, so the
// hang can be replayed.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "host/kernel/clock.h"

namespace campaign {

class OperationWatch {
public:
    static constexpr LONGLONG kHostTimeBound = 2 * host::kSecond;
    static constexpr LONGLONG kHostStep = host::kMillisecond;

    explicit OperationWatch(uint32_t seed, std::chrono::seconds bound = std::chrono::seconds(60))
        : seed_(seed), bound_(bound), thread_([this] { Watch(); }) {}
    ~OperationWatch() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    OperationWatch(const OperationWatch&) = delete;
    OperationWatch& operator=(const OperationWatch&) = delete;

    // The most host time any operation needed so far.
    LONGLONG LongestHostTime() {
        std::lock_guard<std::mutex> lock(mutex_);
        return longest_;
    }

    // Runs `operation`, named `name` for the report.
    template <typename Fn>
    auto Run(const char* name, Fn&& operation) {
        Begin(name);
        struct End {
            OperationWatch* watch;
            ~End() { watch->Finish(); }
        } end{this};
        return operation();
    }

private:
    void Begin(const char* name) {
        std::lock_guard<std::mutex> lock(mutex_);
        name_ = name;
        deadline_ = std::chrono::steady_clock::now() + bound_;
        nudgeAfter_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
        advanced_ = 0;
        busy_ = true;
    }
    // Returns once the watchdog is not moving the clock: the caller's thread may move it next.
    void Finish() {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return !advancing_; });
        busy_ = false;
        longest_ = std::max(longest_, advanced_);
    }
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_) {
            wake_.wait_for(lock, std::chrono::milliseconds(20));
            if (!busy_) continue;
            const auto now = std::chrono::steady_clock::now();
            if (now > deadline_) Stop("did not return within a minute of real time");
            if (now < nudgeAfter_) continue;
            if (advanced_ >= kHostTimeBound) Stop("needed more than 2 s of host time");
            advanced_ += kHostStep;
            advancing_ = true;
            lock.unlock();
            host::AdvanceClock(kHostStep);
            lock.lock();
            advancing_ = false;
            idle_.notify_all();
        }
    }

    [[noreturn]] void Stop(const char* why) {
        std::fprintf(stderr, "campaign seed %u: %s %s\n", seed_, name_, why);
        std::abort();
    }

    const uint32_t seed_;
    const std::chrono::seconds bound_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    const char* name_ = "";
    std::chrono::steady_clock::time_point deadline_;
    std::chrono::steady_clock::time_point nudgeAfter_;
    LONGLONG advanced_ = 0;  // host time moved on by the watchdog during this operation
    LONGLONG longest_ = 0;
    bool busy_ = false;
    bool advancing_ = false;
    bool done_ = false;
    std::thread thread_;  // last: starts once the fields above exist
};

}  // namespace campaign
