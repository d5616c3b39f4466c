#include "tools/mkv_file.h"

#if defined(VEXACAM_WITHOUT_FFMPEG)

namespace vexacam::tools {

std::unique_ptr<MkvFile> MkvFile::Create(const std::string& path, uint32_t, uint32_t, int64_t,
                                         std::string* problem) {
    *problem = "cannot write " + path + ": this build of vexacam writes no MKV video";
    return nullptr;
}

MkvFile::~MkvFile() = default;
std::string MkvFile::AddFrame(const uint8_t*, int64_t, int64_t) { return Finish(); }
std::string MkvFile::AddRepeat(int64_t, int64_t) { return Finish(); }
std::string MkvFile::Finish() { return "cannot write " + path_ + ": no MKV in this build"; }

}  // namespace vexacam::tools

#else

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
}

namespace vexacam::tools {
namespace {

constexpr AVRational kHundredNanoseconds = {1, 10000000};

#if defined(__SANITIZE_THREAD__)
constexpr bool kSanitizingThreads = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kSanitizingThreads = true;
#else
constexpr bool kSanitizingThreads = false;
#endif
#else
constexpr bool kSanitizingThreads = false;
#endif

}  // namespace

std::string MkvFile::Failure(const char* what, int error) const {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof(text));
    return "cannot write " + path_ + ": " + what + " (" + text + ")";
}

std::unique_ptr<MkvFile> MkvFile::Create(const std::string& path, uint32_t width, uint32_t height,
                                         int64_t frameInterval, std::string* problem) {
    std::unique_ptr<MkvFile> mkv(new MkvFile());
    mkv->path_ = path;
    mkv->width_ = width;
    mkv->height_ = height;
    mkv->frameInterval_ = frameInterval;
    int error = avformat_alloc_output_context2(&mkv->format_, nullptr, "matroska", path.c_str());
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_FFV1);
    if (error < 0 || encoder == nullptr) {
        *problem = "cannot write " + path + ": this FFmpeg has no Matroska muxer or FFV1 encoder";
        return nullptr;
    }
    mkv->stream_ = avformat_new_stream(mkv->format_, nullptr);
    mkv->codec_ = avcodec_alloc_context3(encoder);
    mkv->frame_ = av_frame_alloc();
    mkv->packet_ = av_packet_alloc();
    if (mkv->stream_ == nullptr || mkv->codec_ == nullptr || mkv->frame_ == nullptr || mkv->packet_ == nullptr) {
        *problem = "cannot write " + path + ": out of memory";
        return nullptr;
    }
    AVCodecContext* codec = mkv->codec_;
    codec->width = static_cast<int>(width);
    codec->height = static_cast<int>(height);
    codec->pix_fmt = AV_PIX_FMT_0RGB32;
    codec->time_base = kHundredNanoseconds;
    codec->framerate = {10000000, static_cast<int>(frameInterval)};
    // Slices let the encoder use both processors; version 3 of the format carries them. Under
    // ThreadSanitizer the slices are encoded on the calling thread: FFmpeg is not built with it,
    // so its threads' hand-offs are invisible and it would report them as races.
    codec->thread_count = kSanitizingThreads ? 1 : 0;
    av_opt_set_int(codec->priv_data, "slices", 4, 0);
    codec->level = 3;
    if (mkv->format_->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((error = avcodec_open2(codec, encoder, nullptr)) < 0 ||
        (error = avcodec_parameters_from_context(mkv->stream_->codecpar, codec)) < 0) {
        *problem = mkv->Failure("the FFV1 encoder refused the format", error);
        return nullptr;
    }
    mkv->stream_->time_base = kHundredNanoseconds;  // the muxer picks its own; packets are rescaled
    if ((error = avio_open(&mkv->format_->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0) {
        *problem = mkv->Failure("cannot create it", error);
        return nullptr;
    }
    if ((error = avformat_write_header(mkv->format_, nullptr)) < 0) {
        *problem = mkv->Failure("the header", error);
        return nullptr;
    }
    mkv->headerWritten_ = true;
    mkv->frame_->format = AV_PIX_FMT_0RGB32;
    mkv->frame_->width = codec->width;
    mkv->frame_->height = codec->height;
    return mkv;
}

MkvFile::~MkvFile() {
    if (!finished_ && headerWritten_) Finish();
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&codec_);
    if (format_ != nullptr) {
        if (format_->pb != nullptr) avio_closep(&format_->pb);
        avformat_free_context(format_);
    }
}

std::string MkvFile::Encode(AVFrame* frame) {
    int error = avcodec_send_frame(codec_, frame);
    if (error < 0) return Failure("encoding", error);
    for (;;) {
        error = avcodec_receive_packet(codec_, packet_);
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return "";
        if (error < 0) return Failure("encoding", error);
        // Each picture stays one frame period, so the film ends a period after the last one.
        if (packet_->duration == 0) packet_->duration = frameInterval_;
        av_packet_rescale_ts(packet_, codec_->time_base, stream_->time_base);
        packet_->stream_index = stream_->index;
        error = av_interleaved_write_frame(format_, packet_);
        if (error < 0) return Failure("writing", error);
    }
}

std::string MkvFile::AddFrame(const uint8_t* bottomUpBgr, int64_t, int64_t presentationTime) {
    if (finished_) return "cannot add to " + path_ + ": already finished";
    const int error = frame_->buf[0] == nullptr ? av_frame_get_buffer(frame_, 0) : av_frame_make_writable(frame_);
    if (error < 0) return Failure("a frame buffer", error);
    // Packed blue, green, red and an unused byte, top row first.
    for (uint32_t y = 0; y < height_; ++y) {
        const uint8_t* source = bottomUpBgr + size_t{height_ - 1 - y} * width_ * 3;
        uint8_t* target = frame_->data[0] + size_t{y} * frame_->linesize[0];
        for (uint32_t x = 0; x < width_; ++x) {
            target[4 * x] = source[3 * x];
            target[4 * x + 1] = source[3 * x + 1];
            target[4 * x + 2] = source[3 * x + 2];
            target[4 * x + 3] = 0;
        }
    }
    if (firstTime_ < 0) firstTime_ = presentationTime;
    frame_->pts = presentationTime - firstTime_;
    repeatTime_ = -1;
    return Encode(frame_);
}

// Periods between pictures need nothing: the time stamps keep the gap. Only a period after the
// last picture must be written, or the film would end early.
std::string MkvFile::AddRepeat(int64_t, int64_t presentationTime) {
    if (firstTime_ >= 0) repeatTime_ = presentationTime;
    return "";
}

std::string MkvFile::Finish() {
    if (finished_) return "";
    std::string problem;
    if (repeatTime_ >= 0) {
        frame_->pts = repeatTime_ - firstTime_;  // the last picture, still in the frame
        problem = Encode(frame_);
    }
    finished_ = true;
    if (problem.empty()) problem = Encode(nullptr);
    const int trailer = av_write_trailer(format_);
    if (problem.empty() && trailer < 0) problem = Failure("the index", trailer);
    const int closed = avio_closep(&format_->pb);
    if (problem.empty() && closed < 0) problem = Failure("closing", closed);
    return problem;
}

}  // namespace vexacam::tools

#endif  // VEXACAM_WITHOUT_FFMPEG
