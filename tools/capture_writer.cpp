#include "tools/capture_writer.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/bmp_file.h"
#include "tools/command.h"
#include "tools/cpu_time.h"
#include "tools/png_file.h"
#include "tools/whole_file.h"

namespace vexacam::tools {
namespace {

// Pictures waiting for the writer, in bytes: beyond this a picture is not saved rather than
// held. At 640 x 480 that is 32 pictures (the cap), at 2048 x 1536 about 14.
constexpr size_t kQueueBytes = size_t{128} << 20;
constexpr size_t kQueueMaxPictures = 32;

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

std::string StandardOutputFailure() {
    return errno == EPIPE ? "standard output was closed" : std::string("cannot write to standard output: ") + std::strerror(errno);
}

}  // namespace

std::string PictureFileName(uint32_t number, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof(name), "frame-%04u.%s", number, extension);
    return name;
}

std::string RawFileName(uint32_t number) {
    char name[32];
    std::snprintf(name, sizeof(name), "raw-%04u.raw", number);
    return name;
}

CaptureWriter::CaptureWriter(const CaptureOutputs& outputs, const CaptureGeometry& geometry, BufferPool& buffers,
                             std::unique_ptr<ReplayMatcher> matcher)
    : outputs_(outputs), geometry_(geometry), buffers_(buffers), matcher_(std::move(matcher)) {
    // A queued picture holds its pixels; the raw frames have their own bound.
    const size_t entryBytes = size_t{geometry.Width} * geometry.Height * 3;
    queueLimit_ = std::clamp<size_t>(kQueueBytes / std::max<size_t>(entryBytes, 1), 2, kQueueMaxPictures);
    std::string problem;
    if (!outputs_.VideoPath.empty()) {
        video_ = CreateVideoFile(outputs_.VideoPath, geometry.Width, geometry.Height, geometry.FrameInterval, &problem);
        if (video_ == nullptr) FailRuntime(problem);
    }
    if (!outputs_.Directory.empty()) {
        const std::string path = outputs_.Directory + "/frames.jsonl";
        record_ = std::fopen(path.c_str(), "w");
        if (record_ == nullptr) FailRuntime("cannot create " + path + ": " + std::strerror(errno));
    }
    thread_ = std::thread(&CaptureWriter::WriteLoop, this);
}

CaptureWriter::~CaptureWriter() {
    Finish();
    if (record_ != nullptr) std::fclose(record_);
}

void CaptureWriter::Push(uint32_t number, DeliveredPicture& picture, const RenderState& polled, uint64_t newestRaw) {
    Entry entry;
    FrameRecord& record = entry.Record;
    record.Frame = number;
    record.PictureNumber = picture.PictureNumber;
    record.PresentationTime = picture.PresentationTime;
    record.Duration = picture.Duration;
    record.Discontinuity = picture.Discontinuity;
    record.DroppedSoFar = picture.DropCount;
    record.Width = geometry_.Width;
    record.Height = geometry_.Height;
    record.State = polled;
    record.GainMapFile = outputs_.GainMapFile;
    record.DefectTableFile = outputs_.DefectTableFile;
    std::lock_guard<std::mutex> hold(lock_);
    if (queuedPictures_ < queueLimit_ && failure_.empty()) {
        entry.Pixels = std::move(picture.Pixels);
        entry.NewestRaw = newestRaw;
        ++queuedPictures_;
    } else {
        ++counts_.Unsaved;
    }
    queue_.push_back(std::move(entry));
    changed_.notify_all();
}

std::string CaptureWriter::WriteStandardOutput(const std::vector<uint8_t>& pixels, int64_t period) {
    const size_t row = size_t{geometry_.Width} * 3;
    // A period without a picture sends the previous one again: readers of a raw stream count
    // time in frames.
    for (int64_t missing = lastStdoutPeriod_ + 1; lastStdoutPeriod_ >= 0 && missing < period; ++missing) {
        if (!WriteAll(STDOUT_FILENO, upright_.data(), upright_.size())) break;
    }
    lastStdoutPeriod_ = period;
    if (pixels.empty()) return WriteAll(STDOUT_FILENO, upright_.data(), upright_.size()) ? "" : StandardOutputFailure();
    upright_.resize(row * geometry_.Height);
    for (uint32_t y = 0; y < geometry_.Height; ++y) {
        std::memcpy(upright_.data() + y * row, pixels.data() + (geometry_.Height - 1 - y) * row, row);
    }
    return WriteAll(STDOUT_FILENO, upright_.data(), upright_.size()) ? "" : StandardOutputFailure();
}

std::string CaptureWriter::WritePicture(Entry& entry) {
    FrameRecord& record = entry.Record;
    RawFrame raw;
    if (matcher_ != nullptr) {
        ReplayMatcher::Result match = matcher_->Match(entry.Pixels, entry.NewestRaw);
        record.State = match.State;
        record.ReplayChecked = match.Found;
        raw = std::move(match.Raw);
    }
    const std::string base = outputs_.Directory + "/";
    std::string problem;
    const auto keep = [&](const std::string& name, const std::string& result) {
        if (result.empty()) record.Files.push_back(name);
        if (problem.empty()) problem = result;
    };
    if (outputs_.Bmp) {
        const std::string name = PictureFileName(record.Frame, "bmp");
        keep(name, WriteBmp24(base + name, geometry_.Width, geometry_.Height, entry.Pixels));
    }
    if (problem.empty() && outputs_.Png) {
        const std::string name = PictureFileName(record.Frame, "png");
        keep(name, WritePng24(base + name, geometry_.Width, geometry_.Height, entry.Pixels.data()));
    }
    if (problem.empty() && outputs_.Raw && raw.Pixels != nullptr) {
        const std::string name = RawFileName(record.Frame);
        keep(name, WriteWholeFile(base + name, *raw.Pixels));
        if (problem.empty()) {
            std::lock_guard<std::mutex> hold(lock_);
            ++counts_.RawSaved;
        }
    }
    if (problem.empty() && video_ != nullptr) {
        problem = video_->AddFrame(entry.Pixels.data(), record.PictureNumber, record.PresentationTime);
    }
    if (problem.empty() && outputs_.StandardOutput) problem = WriteStandardOutput(entry.Pixels, record.PictureNumber);
    record.Saved = problem.empty();
    return problem;
}

// A picture delivered but not kept still had its period: the video and standard output show
// the previous picture through it.
std::string CaptureWriter::WriteGap(const FrameRecord& record) {
    std::string problem;
    if (video_ != nullptr) problem = video_->AddRepeat(record.PictureNumber, record.PresentationTime);
    if (problem.empty() && outputs_.StandardOutput && lastStdoutPeriod_ >= 0) {
        problem = WriteStandardOutput({}, record.PictureNumber);
    }
    return problem;
}

std::string CaptureWriter::WriteEntry(Entry& entry) {
    std::string problem = entry.Pixels.empty() ? WriteGap(entry.Record) : WritePicture(entry);
    if (record_ != nullptr) {
        const std::string line = RecordLine(entry.Record) + "\n";
        if (std::fputs(line.c_str(), record_) < 0 || std::fflush(record_) != 0) {
            if (problem.empty()) problem = "cannot write " + outputs_.Directory + "/frames.jsonl: " + std::strerror(errno);
        }
    }
    return problem;
}

void CaptureWriter::WriteLoop() {
    for (;;) {
        Entry entry;
        bool stopped = false;
        {
            std::unique_lock<std::mutex> hold(lock_);
            changed_.wait(hold, [this] { return finishing_ || !queue_.empty(); });
            if (queue_.empty()) return;
            entry = std::move(queue_.front());
            queue_.pop_front();
            stopped = !failure_.empty();
        }
        const bool hadPixels = !entry.Pixels.empty();
        const double before = ThreadCpuSeconds();
        const std::string problem = stopped ? "" : WriteEntry(entry);
        const double spent = ThreadCpuSeconds() - before;
        buffers_.Give(std::move(entry.Pixels));
        std::lock_guard<std::mutex> hold(lock_);
        if (hadPixels) {
            --queuedPictures_;
            if (!stopped && problem.empty()) ++counts_.Saved;
            if (entry.Record.ReplayChecked) ++counts_.ReplayChecked;
        }
        cpuSeconds_ += spent;
        if (failure_.empty()) failure_ = problem;
    }
}

std::string CaptureWriter::Finish() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        finishing_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
    if (video_ != nullptr) {
        const std::string problem = video_->Finish();
        video_.reset();
        std::lock_guard<std::mutex> hold(lock_);
        if (failure_.empty()) failure_ = problem;
    }
    return Failure();
}

std::string CaptureWriter::Failure() const {
    std::lock_guard<std::mutex> hold(lock_);
    return failure_;
}

WriterCounts CaptureWriter::Counts() const {
    std::lock_guard<std::mutex> hold(lock_);
    return counts_;
}

double CaptureWriter::CpuSeconds() const {
    std::lock_guard<std::mutex> hold(lock_);
    return cpuSeconds_;
}

}  // namespace vexacam::tools
