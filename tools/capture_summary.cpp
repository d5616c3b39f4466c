#include "tools/capture_summary.h"

#include <nlohmann/json.hpp>

namespace vexacam::tools {

void PrintSummary(std::FILE* out, const CaptureSummary& s) {
    std::fprintf(out, "format      %ux%u RGB24, frame interval %.1f ms (camera at %.1f fps)\n",
                 s.Width, s.Height, static_cast<double>(s.FrameInterval) / 1e4,
                 s.CameraFramesPerSecond);
    std::fprintf(out, "delivered   %u frames in %.2f s\n", s.Delivered, s.ElapsedSeconds);
    std::fprintf(out, "dropped     %lld of %lld frame periods (driver's count)\n",
                 static_cast<long long>(s.Dropped), static_cast<long long>(s.FramePeriods));
    std::fprintf(out, "interval    %.2f ms average between delivered frames\n", s.AverageIntervalMs);
    std::fprintf(out, "cpu         %.2f ms per frame (driver and camera), %.2f ms writing\n",
                 s.CpuMsPerFrame, s.WriteMsPerFrame);
    for (const auto& [name, value] : s.Settings) {
        std::fprintf(out, "setting     %s = %lld\n", name.c_str(), static_cast<long long>(value));
    }
    std::string kinds;
    for (const std::string& kind : s.PictureKinds) kinds += (kinds.empty() ? "" : ", ") + kind;
    if (!kinds.empty()) std::fprintf(out, "pictures    %s/frame-*.{%s}\n", s.Directory.c_str(), kinds.c_str());
    if (s.RawFrames > 0) {
        std::fprintf(out, "raw         %u frames of %ux%u bytes in %s/\n", s.RawFrames, s.Width,
                     s.Height, s.Directory.c_str());
    }
    if (!s.Video.empty()) std::fprintf(out, "video       %s\n", s.Video.c_str());
}

std::string SummaryJson(const CaptureSummary& s) {
    nlohmann::json settings = nlohmann::json::object();
    for (const auto& [name, value] : s.Settings) settings[name] = value;
    nlohmann::json json = {
        {"ok", s.Failure.empty()},
        {"width", s.Width},
        {"height", s.Height},
        {"frame_interval_100ns", s.FrameInterval},
        {"camera_fps", s.CameraFramesPerSecond},
        {"delivered", s.Delivered},
        {"frame_periods", s.FramePeriods},
        {"dropped", s.Dropped},
        {"average_interval_ms", s.AverageIntervalMs},
        {"elapsed_s", s.ElapsedSeconds},
        {"cpu_ms_per_frame", s.CpuMsPerFrame},
        {"write_ms_per_frame", s.WriteMsPerFrame},
        {"directory", s.Directory},
        {"pictures", s.PictureKinds},
        {"video", s.Video.empty() ? nlohmann::json(nullptr) : nlohmann::json(s.Video)},
        {"raw_frames", s.RawFrames},
        {"settings", settings},
    };
    if (!s.Failure.empty()) json["error"] = s.Failure;
    return json.dump();
}

}  // namespace vexacam::tools
