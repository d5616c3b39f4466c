#include "tools/write_queue.h"

#include <time.h>

namespace vexacam::tools {
namespace {

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

WriteQueue::WriteQueue(Writer write) : write_(std::move(write)) {
    thread_ = std::thread(&WriteQueue::WriteLoop, this);
}

WriteQueue::~WriteQueue() { Finish(); }

std::vector<uint8_t> WriteQueue::TakeBuffer(size_t size) {
    std::vector<uint8_t> buffer;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!spare_.empty()) {
            buffer = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    buffer.resize(size);
    return buffer;
}

void WriteQueue::Push(uint32_t number, std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> hold(lock_);
    queue_.emplace_back(number, std::move(bytes));
    changed_.notify_all();
}

size_t WriteQueue::Queued() const {
    std::lock_guard<std::mutex> hold(lock_);
    return queue_.size();
}

size_t WriteQueue::Backlog() const {
    std::lock_guard<std::mutex> hold(lock_);
    return queue_.size() + (writing_ ? 1 : 0);
}

std::string WriteQueue::Failure() const {
    std::lock_guard<std::mutex> hold(lock_);
    return failure_;
}

void WriteQueue::NoteFailure(const std::string& problem) {
    std::lock_guard<std::mutex> hold(lock_);
    if (failure_.empty()) failure_ = problem;
}

uint32_t WriteQueue::Written() const {
    std::lock_guard<std::mutex> hold(lock_);
    return written_;
}

double WriteQueue::CpuSeconds() const {
    std::lock_guard<std::mutex> hold(lock_);
    return cpuSeconds_;
}

std::string WriteQueue::Finish() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        finishing_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
    return Failure();
}

void WriteQueue::WriteLoop() {
    for (;;) {
        std::pair<uint32_t, std::vector<uint8_t>> next;
        bool stopped = false;
        {
            std::unique_lock<std::mutex> hold(lock_);
            changed_.wait(hold, [this] { return finishing_ || !queue_.empty(); });
            if (queue_.empty()) return;
            next = std::move(queue_.front());
            queue_.pop_front();
            writing_ = true;
            stopped = !failure_.empty();
        }
        const double before = ThreadCpuSeconds();
        const std::string problem = stopped ? "" : write_(next.first, next.second);
        const double spent = ThreadCpuSeconds() - before;
        std::lock_guard<std::mutex> hold(lock_);
        writing_ = false;
        cpuSeconds_ += spent;
        if (!stopped && problem.empty()) written_ += 1;
        if (failure_.empty()) failure_ = problem;
        spare_.push_back(std::move(next.second));
    }
}

}  // namespace vexacam::tools
