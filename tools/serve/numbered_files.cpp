#include "tools/serve/numbered_files.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vexacam::tools {

NumberedFiles::NumberedFiles(std::string directory, std::string prefix)
    : directory_(std::move(directory)), prefix_(std::move(prefix)) {}

std::string NumberedFiles::Next(const char* extension, std::string* name) {
    std::lock_guard<std::mutex> hold(lock_);
    std::error_code error;
    std::filesystem::create_directories(directory_, error);
    if (error) return "cannot create " + directory_ + ": " + error.message();
    if (next_ == 0) {
        next_ = 1;
        const std::string pattern = prefix_ + "-%u.%7s";
        for (const auto& entry : std::filesystem::directory_iterator(directory_, error)) {
            unsigned number = 0;
            char found[8] = {};
            if (std::sscanf(entry.path().filename().c_str(), pattern.c_str(), &number, found) == 2 && number >= next_) {
                next_ = number + 1;
            }
        }
    }
    char file[64];
    std::snprintf(file, sizeof(file), "%s-%04u.%s", prefix_.c_str(), next_++, extension);
    *name = file;
    return "";
}

}  // namespace vexacam::tools
