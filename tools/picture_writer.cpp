#include "tools/picture_writer.h"

#include <cstdio>

#include "tools/bmp_file.h"
#include "tools/png_file.h"

namespace vexacam::tools {

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
    PictureWriter* self = writer.get();
    writer->queue_ = std::make_unique<WriteQueue>(
        [self](uint32_t number, const std::vector<uint8_t>& pixels) { return self->WriteOne(number, pixels); });
    return writer;
}

PictureWriter::~PictureWriter() { Finish(); }

std::vector<uint8_t> PictureWriter::TakeBuffer(size_t size) { return queue_->TakeBuffer(size); }

void PictureWriter::Write(uint32_t number, std::vector<uint8_t> pixels) {
    queue_->Push(number, std::move(pixels));
}

size_t PictureWriter::Backlog() const { return queue_->Backlog(); }

std::string PictureWriter::Failure() const { return queue_->Failure(); }

double PictureWriter::CpuSeconds() const { return queue_->CpuSeconds(); }

std::string PictureWriter::Finish() {
    if (queue_ == nullptr) return "";  // Start failed before the queue existed
    queue_->Finish();
    if (avi_ != nullptr) {
        queue_->NoteFailure(avi_->Finish());
        avi_.reset();
    }
    return queue_->Failure();
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
