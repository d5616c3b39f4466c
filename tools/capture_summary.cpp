#include "tools/capture_summary.h"

#include <nlohmann/json.hpp>

namespace vexacam::tools {

void PrintSummary(std::FILE* out, const CaptureSummary& s) {
    std::fprintf(out, "format      %ux%u RGB24, frame interval %.1f ms (camera at %.1f fps)\n", s.Width, s.Height,
                 static_cast<double>(s.FrameInterval) / 1e4, s.CameraFramesPerSecond);
    if (s.SkipReason == "settle") {
        std::fprintf(out, "skipped     %u frames while automatic exposure settled\n", s.Skipped);
    } else if (s.SkipReason == "not settled") {
        std::fprintf(out, "skipped     %u frames; automatic exposure had not settled, kept going\n", s.Skipped);
    } else if (s.Skipped > 0) {
        std::fprintf(out, "skipped     %u frames (--skip)\n", s.Skipped);
    }
    std::fprintf(out, "delivered   %u frames in %.2f s of capture (%lld frame periods)\n", s.Delivered, s.CaptureSeconds,
                 static_cast<long long>(s.CapturePeriods));
    if (s.Unsaved > 0) {
        std::fprintf(out, "unsaved     %u of them: writing could not keep up (not the driver's drops)\n", s.Unsaved);
    }
    std::fprintf(out, "dropped     %lld of %lld frame periods while keeping them (driver's count)\n", static_cast<long long>(s.Dropped),
                 static_cast<long long>(s.FramePeriods));
    std::fprintf(out, "interval    %.2f ms average between delivered frames\n", s.AverageIntervalMs);
    std::fprintf(out, "cpu         %.2f ms per frame (driver and camera), %.2f ms writing\n", s.CpuMsPerFrame,
                 s.WriteMsPerFrame);
    for (const auto& [name, value] : s.Settings) {
        std::fprintf(out, "setting     %s = %lld\n", name.c_str(), static_cast<long long>(value));
    }
    std::string kinds;
    for (const std::string& kind : s.PictureKinds) kinds += (kinds.empty() ? "" : ", ") + kind;
    if (!kinds.empty()) std::fprintf(out, "pictures    %s/frame-*.{%s}\n", s.Directory.c_str(), kinds.c_str());
    if (!s.Directory.empty()) std::fprintf(out, "record      %s/frames.jsonl\n", s.Directory.c_str());
    if (s.RawFrames > 0) {
        std::fprintf(out, "raw         %u frames of %ux%u bytes in %s/, %u replayed byte for byte\n", s.RawFrames,
                     s.Width, s.Height, s.Directory.c_str(), s.ReplayChecked);
    }
    if (!s.Video.empty()) std::fprintf(out, "video       %s\n", s.Video.c_str());
    if (s.StandardOutput) std::fprintf(out, "output      raw bgr24 frames on standard output\n");
    if (s.Interrupted) std::fprintf(out, "stopped     by a signal; everything written is complete\n");
}

std::string SummaryJson(const CaptureSummary& s) {
    nlohmann::json settings = nlohmann::json::object();
    for (const auto& [name, value] : s.Settings) settings[name] = value;
    const auto orNull = [](const std::string& text) { return text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text); };
    nlohmann::json json = {
        {"ok", s.Failure.empty()},
        {"width", s.Width},
        {"height", s.Height},
        {"frame_interval_100ns", s.FrameInterval},
        {"camera_fps", s.CameraFramesPerSecond},
        {"skipped", s.Skipped},
        {"skip_reason", orNull(s.SkipReason)},
        {"delivered", s.Delivered},
        {"saved", s.Saved},
        {"unsaved", s.Unsaved},
        {"frame_periods", s.FramePeriods},
        {"dropped", s.Dropped},
        {"average_interval_ms", s.AverageIntervalMs},
        {"capture_s", s.CaptureSeconds},
        {"capture_periods", s.CapturePeriods},
        {"elapsed_s", s.ElapsedSeconds},
        {"cpu_ms_per_frame", s.CpuMsPerFrame},
        {"write_ms_per_frame", s.WriteMsPerFrame},
        {"directory", orNull(s.Directory)},
        {"pictures", s.PictureKinds},
        {"video", orNull(s.Video)},
        {"standard_output", s.StandardOutput},
        {"raw_frames", s.RawFrames},
        {"replay_checked", s.ReplayChecked},
        {"settings", settings},
        {"interrupted", s.Interrupted},
    };
    if (!s.Failure.empty()) json["error"] = s.Failure;
    return json.dump();
}

}  // namespace vexacam::tools
