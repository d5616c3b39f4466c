// Numbered buffers written to files on a thread of its own, in the order they were queued, so
// that whoever produces them never waits for the disk. After the first failed write the rest
// are dropped unwritten and the failure is kept. Written buffers are kept for reuse.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vexacam::tools {

class WriteQueue {
public:
    // Writes buffer Number; returns an empty string on success, otherwise what went wrong.
    // Runs on the queue's thread only.
    using Writer = std::function<std::string(uint32_t number, const std::vector<uint8_t>& bytes)>;

    explicit WriteQueue(Writer write);  // starts the thread
    ~WriteQueue();                      // finishes (see Finish)
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    // A buffer of Size bytes: a written one given back when there is one.
    std::vector<uint8_t> TakeBuffer(size_t size);
    void Push(uint32_t number, std::vector<uint8_t> bytes);
    // Buffers waiting, not counting the one being written.
    size_t Queued() const;
    // Buffers waiting or being written.
    size_t Backlog() const;
    // Writes what is queued and stops the thread. The first failure, or "".
    std::string Finish();
    // The first failure so far, or "".
    std::string Failure() const;
    // Keeps Problem as the failure unless there is one already (or Problem is empty).
    void NoteFailure(const std::string& problem);
    uint32_t Written() const;
    // Processor time the writes took, in seconds.
    double CpuSeconds() const;

private:
    void WriteLoop();

    Writer write_;
    mutable std::mutex lock_;  // guards everything below
    std::condition_variable changed_;
    std::deque<std::pair<uint32_t, std::vector<uint8_t>>> queue_;
    std::vector<std::vector<uint8_t>> spare_;
    std::string failure_;
    bool finishing_ = false;
    bool writing_ = false;
    uint32_t written_ = 0;
    double cpuSeconds_ = 0;
    std::thread thread_;
};

}  // namespace vexacam::tools
