#include "tools/avi_file.h"

#include <cerrno>
#include <cstring>
#include <numeric>

namespace vexacam::tools {
namespace {

constexpr uint32_t kHeaderBytes = 224;       // RIFF, hdrl with avih, strl with strh and strf
constexpr uint32_t kMoviListOffset = 212;    // the 'LIST' of the movi list
constexpr uint32_t kChunkHeaderBytes = 8;
constexpr uint32_t kIndexEntryBytes = 16;
constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAviifKeyFrame = 0x10;

// Offsets of the fields Finish fills in.
constexpr long kRiffSizeAt = 4;
constexpr long kTotalFramesAt = 48;
constexpr long kStreamLengthAt = 140;
constexpr long kMoviSizeAt = kMoviListOffset + 4;

class Bytes {
public:
    void Fourcc(const char* code) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(code[i]));
    }
    void U32(uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    void U16(uint16_t value) {
        bytes_.push_back(static_cast<uint8_t>(value));
        bytes_.push_back(static_cast<uint8_t>(value >> 8));
    }
    const std::vector<uint8_t>& Data() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// Headers with zero frame counts and sizes; Finish patches them.
std::vector<uint8_t> Headers(uint32_t width, uint32_t height, uint32_t frameBytes,
                             int64_t frameInterval) {
    const uint64_t divisor = std::gcd(static_cast<uint64_t>(frameInterval), uint64_t{10000000});
    const uint32_t scale = static_cast<uint32_t>(frameInterval / divisor);
    const uint32_t rate = static_cast<uint32_t>(10000000 / divisor);
    Bytes out;
    out.Fourcc("RIFF"); out.U32(0); out.Fourcc("AVI ");
    out.Fourcc("LIST"); out.U32(192); out.Fourcc("hdrl");
    out.Fourcc("avih"); out.U32(56);
    out.U32(static_cast<uint32_t>(frameInterval / 10));  // microseconds per frame
    out.U32(static_cast<uint32_t>(uint64_t{frameBytes} * rate / scale));  // bytes per second
    out.U32(0);              // padding granularity
    out.U32(kAvifHasIndex);
    out.U32(0);              // total frames
    out.U32(0);              // initial frames
    out.U32(1);              // streams
    out.U32(frameBytes);     // suggested buffer size
    out.U32(width); out.U32(height);
    for (int i = 0; i < 4; ++i) out.U32(0);
    out.Fourcc("LIST"); out.U32(116); out.Fourcc("strl");
    out.Fourcc("strh"); out.U32(56);
    out.Fourcc("vids"); out.Fourcc("DIB ");
    out.U32(0);              // flags
    out.U16(0); out.U16(0);  // priority, language
    out.U32(0);              // initial frames
    out.U32(scale); out.U32(rate);
    out.U32(0);              // start
    out.U32(0);              // length in frames
    out.U32(frameBytes);     // suggested buffer size
    out.U32(0xFFFFFFFF);     // quality: default
    out.U32(0);              // sample size: frames vary in principle
    out.U16(0); out.U16(0); out.U16(static_cast<uint16_t>(width)); out.U16(static_cast<uint16_t>(height));
    out.Fourcc("strf"); out.U32(40);
    out.U32(40);
    out.U32(width); out.U32(height);  // positive height: bottom-up rows
    out.U16(1); out.U16(24);
    out.U32(0);              // BI_RGB
    out.U32(frameBytes);
    for (int i = 0; i < 4; ++i) out.U32(0);
    out.Fourcc("LIST"); out.U32(4); out.Fourcc("movi");
    return out.Data();
}

uint32_t PaddedFrameBytes(uint32_t width, uint32_t height) {
    return ((width * 3 + 3) & ~3u) * height;
}

}  // namespace

uint64_t AviFile::FileSizeFor(uint32_t width, uint32_t height, uint64_t frames) {
    const uint64_t frameBytes = PaddedFrameBytes(width, height);
    return kHeaderBytes + frames * (kChunkHeaderBytes + frameBytes + kIndexEntryBytes) + kChunkHeaderBytes;
}

std::unique_ptr<AviFile> AviFile::Create(const std::string& path, uint32_t width, uint32_t height,
                                         int64_t frameInterval, std::string* problem) {
    if (width == 0 || height == 0 || width > 65535 || height > 65535 || frameInterval <= 0) {
        *problem = "cannot write " + path + ": no video of that size and frame interval";
        return nullptr;
    }
    std::unique_ptr<AviFile> avi(new AviFile());
    avi->path_ = path;
    avi->width_ = width;
    avi->height_ = height;
    avi->frameBytes_ = PaddedFrameBytes(width, height);
    avi->fileBytes_ = kHeaderBytes + kChunkHeaderBytes;  // headers and the index's own
    avi->file_ = std::fopen(path.c_str(), "wb");
    if (avi->file_ == nullptr) {
        *problem = "cannot create " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    const std::vector<uint8_t> headers = Headers(width, height, avi->frameBytes_, frameInterval);
    static_assert(kHeaderBytes == 224);
    if (headers.size() != kHeaderBytes ||
        std::fwrite(headers.data(), 1, headers.size(), avi->file_) != headers.size()) {
        *problem = avi->Fail("cannot write " + path);
        return nullptr;
    }
    return avi;
}

AviFile::~AviFile() {
    if (file_ != nullptr) std::fclose(file_);
}

std::string AviFile::Fail(const std::string& what) {
    const std::string reason = std::strerror(errno);
    return what + ": " + reason;
}

std::string AviFile::AddChunk(const uint8_t* data, uint32_t size) {
    const uint64_t grown = fileBytes_ + kChunkHeaderBytes + size + kIndexEntryBytes;
    if (grown > kAviSizeLimit) return path_ + " would pass 1 GiB; capture fewer or smaller frames";
    Bytes header;
    header.Fourcc("00db");
    header.U32(size);
    if (std::fwrite(header.Data().data(), 1, kChunkHeaderBytes, file_) != kChunkHeaderBytes ||
        (size > 0 && std::fwrite(data, 1, size, file_) != size)) {
        return Fail("cannot write " + path_);
    }
    frameSizes_.push_back(size);
    fileBytes_ = grown;
    return "";
}

std::string AviFile::AddRepeat(int64_t period, int64_t) {
    if (finished_) return "cannot add to " + path_ + ": already finished";
    for (int64_t missing = lastPeriod_ + 1; lastPeriod_ >= 0 && missing <= period; ++missing) {
        if (std::string problem = AddChunk(nullptr, 0); !problem.empty()) return problem;
        lastPeriod_ = missing;
    }
    return "";
}

std::string AviFile::AddFrame(const uint8_t* bottomUpBgr, int64_t period, int64_t presentationTime) {
    if (std::string problem = AddRepeat(period - 1, presentationTime); !problem.empty()) return problem;
    lastPeriod_ = period;
    const uint32_t rowBytes = width_ * 3;
    const uint8_t* data = bottomUpBgr;
    if (frameBytes_ != rowBytes * height_) {
        padded_.assign(frameBytes_, 0);
        const uint32_t stride = frameBytes_ / height_;
        for (uint32_t y = 0; y < height_; ++y) {
            std::memcpy(padded_.data() + size_t{y} * stride, bottomUpBgr + size_t{y} * rowBytes, rowBytes);
        }
        data = padded_.data();
    }
    return AddChunk(data, frameBytes_);
}

std::string AviFile::Finish() {
    if (finished_) return "";
    finished_ = true;
    Bytes index;
    index.Fourcc("idx1");
    index.U32(static_cast<uint32_t>(frameSizes_.size() * kIndexEntryBytes));
    uint32_t offset = 4;  // from the 'movi' type code, as readers expect
    for (uint32_t size : frameSizes_) {
        index.Fourcc("00db");
        index.U32(size > 0 ? kAviifKeyFrame : 0);
        index.U32(offset);
        index.U32(size);
        offset += kChunkHeaderBytes + size;
    }
    const uint32_t moviSize = offset;  // 'movi' plus every chunk
    const uint64_t fileSize = kMoviListOffset + 8 + moviSize + index.Data().size();
    const auto patch = [this](long at, uint32_t value) {
        Bytes bytes;
        bytes.U32(value);
        return std::fseek(file_, at, SEEK_SET) == 0 &&
               std::fwrite(bytes.Data().data(), 1, 4, file_) == 4;
    };
    const uint32_t frames = static_cast<uint32_t>(frameSizes_.size());
    const bool written =
        std::fwrite(index.Data().data(), 1, index.Data().size(), file_) == index.Data().size() &&
        patch(kRiffSizeAt, static_cast<uint32_t>(fileSize - 8)) && patch(kTotalFramesAt, frames) &&
        patch(kStreamLengthAt, frames) && patch(kMoviSizeAt, moviSize);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed) return Fail("cannot write " + path_);
    return "";
}

}  // namespace vexacam::tools
