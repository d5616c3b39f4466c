// The directory a capture writes into. One capture per directory: an earlier capture's files
// (frames.jsonl, frame-NNNN pictures, raw-NNNN frames, the calibration files copied beside
// them) are never mixed with a new one's; --overwrite removes them first, and nothing else.
// The directory is made only when the capture is about to write, and a capture that fails
// before writing anything leaves no empty directory behind.
#pragma once

#include <string>
#include <vector>

namespace vexacam::tools {

class CaptureDirectory {
public:
    // Checks Path; a directory holding an earlier capture ends the command (status 2) unless
    // Overwrite. Nothing is changed yet.
    CaptureDirectory(std::string path, bool overwrite);

    // Removes the earlier capture's files (with --overwrite) and makes the directory.
    void Prepare();
    // The capture made this file in the directory.
    void Created(const std::string& name) { created_.push_back(name); }
    // After a capture that failed or saved nothing: unless a picture or raw frame was written,
    // removes the files it made, and the directory if Prepare made it and nothing else is in it.
    void Abandon();

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::vector<std::string> earlier_;  // names of an earlier capture's files
    std::vector<std::string> created_;
    bool made_ = false;
};

// Names of a capture's files in Directory: frames.jsonl, frame-NNNN.bmp|png, raw-NNNN.raw,
// Vexa_*.dat|bpt.
std::vector<std::string> CaptureFilesIn(const std::string& directory);

}  // namespace vexacam::tools
