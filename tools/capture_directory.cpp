#include "tools/capture_directory.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <regex>
#include <system_error>

#include "host/files/machine_root.h"
#include "tools/command.h"

namespace vexacam::tools {
namespace {

namespace fs = std::filesystem;

bool IsCaptureFile(const std::string& name) {
    static const std::regex kCaptureName(
        R"(frames\.jsonl|frame-[0-9]{4,}\.(bmp|png)|raw-[0-9]{4,}\.raw|Vexa_[0-9a-z]+\.(dat|bpt))");
    return std::regex_match(name, kCaptureName);
}

}  // namespace

std::vector<std::string> CaptureFilesIn(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code failure;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, failure)) {
        const std::string name = entry.path().filename().string();
        if (IsCaptureFile(name)) names.push_back(name);
    }
    return names;
}

CaptureDirectory::CaptureDirectory(std::string path, bool overwrite) : path_(std::move(path)) {
    std::error_code failure;
    if (fs::exists(path_, failure) && !fs::is_directory(path_, failure)) {
        FailUsage("--output " + path_ + " is a file, not a directory");
    }
    earlier_ = CaptureFilesIn(path_);
    if (!earlier_.empty() && !overwrite) {
        FailUsage(path_ + " holds an earlier capture (" + std::to_string(earlier_.size()) +
                  " files); give --overwrite to replace it, or another --output directory");
    }
}

void CaptureDirectory::Prepare() {
    for (const std::string& name : earlier_) {
        std::error_code failure;
        fs::remove(File(name), failure);
        if (failure) FailRuntime("cannot remove the earlier capture's " + File(name) + ": " + failure.message());
    }
    std::error_code failure;
    made_ = !fs::exists(path_, failure);
    if (!host::MakeDirectories(path_)) {
        FailRuntime("cannot create the output directory " + path_ + ": " + std::strerror(errno));
    }
}

void CaptureDirectory::Abandon() {
    std::error_code failure;
    for (const std::string& name : CaptureFilesIn(path_)) {
        if (name.rfind("frame-", 0) == 0 || name.rfind("raw-", 0) == 0) return;  // it wrote something after all
    }
    for (const std::string& name : created_) fs::remove(File(name), failure);
    created_.clear();
    if (made_ && fs::is_empty(path_, failure)) fs::remove(path_, failure);
}

}  // namespace vexacam::tools
