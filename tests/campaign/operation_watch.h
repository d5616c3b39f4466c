// A watchdog for the campaign: every driver operation must return within a bound of real time
// (the host clock is manual and moves only between operations, so an operation that waits for
// time to pass, or for a completion that never comes, would hang). On overrun the process
// stops with the seed and the operation's name, so the hang can be replayed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace campaign {

class OperationWatch {
public:
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
        busy_ = true;
    }
    void Finish() {
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = false;
    }
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_) {
            wake_.wait_for(lock, std::chrono::milliseconds(200));
            if (busy_ && std::chrono::steady_clock::now() > deadline_) {
                std::fprintf(stderr, "campaign seed %u: %s did not return within %lld s\n", seed_,
                             name_, static_cast<long long>(bound_.count()));
                std::abort();
            }
        }
    }

    const uint32_t seed_;
    const std::chrono::seconds bound_;
    std::mutex mutex_;
    std::condition_variable wake_;
    const char* name_ = "";
    std::chrono::steady_clock::time_point deadline_;
    bool busy_ = false;
    bool done_ = false;
    std::thread thread_;  // last: starts once the fields above exist
};

}  // namespace campaign
