#include "tools/picture_writer.h"

#include <time.h>

#include <cstdio>

#include "tools/bmp_file.h"
#include "tools/png_file.h"

namespace vexacam::tools {
namespace {

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

std::string PictureFileName(uint32_t number, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof(name), "frame-%04u.%s", number, extension);
    return name;
}

std::unique_ptr<PictureWriter> PictureWriter::Start(const PictureFiles& files,
                                                    const PictureGeometry& geometry,
                                                    std::string* problem) {
    std::unique_ptr<PictureWriter> writer(new PictureWriter());
    writer->files_ = files;
    writer->geometry_ = geometry;
    if (!files.VideoPath.empty()) {
        writer->avi_ = AviFile::Create(files.VideoPath, geometry.Width, geometry.Height,
                                       geometry.FrameInterval, problem);
        if (writer->avi_ == nullptr) return nullptr;
    }
    writer->thread_ = std::thread(&PictureWriter::WriteLoop, writer.get());
    return writer;
}

PictureWriter::~PictureWriter() { Finish(); }

std::vector<uint8_t> PictureWriter::TakeBuffer(size_t size) {
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

void PictureWriter::Write(uint32_t number, std::vector<uint8_t> pixels) {
    std::lock_guard<std::mutex> hold(lock_);
    queue_.emplace_back(number, std::move(pixels));
    changed_.notify_all();
}

size_t PictureWriter::Backlog() const {
    std::lock_guard<std::mutex> hold(lock_);
    return queue_.size() + (writing_ ? 1 : 0);
}

std::string PictureWriter::Failure() const {
    std::lock_guard<std::mutex> hold(lock_);
    return failure_;
}

double PictureWriter::CpuSeconds() const {
    std::lock_guard<std::mutex> hold(lock_);
    return cpuSeconds_;
}

std::string PictureWriter::Finish() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        finishing_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
    if (avi_ != nullptr) {
        const std::string problem = avi_->Finish();
        avi_.reset();
        std::lock_guard<std::mutex> hold(lock_);
        if (failure_.empty()) failure_ = problem;
    }
    return Failure();
}

void PictureWriter::WriteLoop() {
    for (;;) {
        std::pair<uint32_t, std::vector<uint8_t>> next;
        {
            std::unique_lock<std::mutex> hold(lock_);
            changed_.wait(hold, [this] { return finishing_ || !queue_.empty(); });
            if (queue_.empty()) return;
            next = std::move(queue_.front());
            queue_.pop_front();
            writing_ = true;
        }
        const double before = ThreadCpuSeconds();
        const bool stopped = !Failure().empty();
        const std::string problem = stopped ? "" : WriteOne(next.first, next.second);
        const double spent = ThreadCpuSeconds() - before;
        std::lock_guard<std::mutex> hold(lock_);
        writing_ = false;
        cpuSeconds_ += spent;
        if (failure_.empty()) failure_ = problem;
        spare_.push_back(std::move(next.second));
    }
}

std::string PictureWriter::WriteOne(uint32_t number, const std::vector<uint8_t>& pixels) {
    const std::string base = files_.Directory + "/";
    std::string problem;
    if (files_.Bmp) {
        problem = WriteBmp24(base + PictureFileName(number, "bmp"), geometry_.Width,
                             geometry_.Height, pixels);
    }
    if (problem.empty() && files_.Png) {
        problem = WritePng24(base + PictureFileName(number, "png"), geometry_.Width,
                             geometry_.Height, pixels.data());
    }
    if (problem.empty() && avi_ != nullptr) problem = avi_->AddFrame(pixels.data());
    return problem;
}

}  // namespace vexacam::tools
