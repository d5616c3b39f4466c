// Names for the files the server writes into the directory it was given (--output):
// PREFIX-NNNN.EXT, numbered on from the highest of that prefix already there, so no request
// names a file and none is overwritten, whatever ran there before.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace vexacam::tools {

class NumberedFiles {
public:
    NumberedFiles(std::string directory, std::string prefix);

    // Makes the directory and takes the next number. "" on success (Name set), otherwise why
    // the directory could not be made. A number is never handed out twice, written or not.
    std::string Next(const char* extension, std::string* name);

    const std::string& Directory() const { return directory_; }
    std::string Path(const std::string& name) const { return directory_ + "/" + name; }

private:
    const std::string directory_;
    const std::string prefix_;
    std::mutex lock_;    // guards next_
    uint32_t next_ = 0;  // 0: not looked up yet
};

}  // namespace vexacam::tools
