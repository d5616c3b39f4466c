// The per-frame record of a capture, frames.jsonl beside its files: one JSON object per
// delivered picture, in order, saying what the stream header said of it, which files hold it,
// and the processing settings in force for it under their registry value names (one-shot
// requests included), so that `vexacam process --replay` can make the same picture again from
// its raw frame.
//
//   {"frame":7,"picture_number":41,"presentation_time_100ns":640000,"duration_100ns":160000,
//    "discontinuity":false,"dropped_so_far":0,"width":640,"height":480,"saved":true,
//    "files":["frame-0007.bmp","raw-0007.raw"],"settings":{"Contrast":16,...},
//    "gain_map":"Vexa_640.dat","defect_table":null,"replay_checked":true}
//
// "gain_tables" (hex, 256 bytes each) appears only when a colour table is not the one its
// value builds, as after a one-push white balance. "replay_checked" says the capture ran the
// raw frame through the pipeline with these settings and got the picture byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/render_state.h"

namespace vexacam::tools {

struct FrameRecord {
    uint32_t Frame = 0;  // from 1, the number in the file names
    int64_t PictureNumber = 0;
    int64_t PresentationTime = 0;  // 100 ns
    int64_t Duration = 0;          // 100 ns
    bool Discontinuity = false;
    int64_t DroppedSoFar = 0;  // the driver's count of periods without a picture
    uint32_t Width = 0;
    uint32_t Height = 0;
    bool Saved = false;  // false: the program could not keep up and dropped it unsaved
    std::vector<std::string> Files;
    RenderState State;
    std::string GainMapFile;      // the calibration files in force, beside the record; "" none
    std::string DefectTableFile;
    bool ReplayChecked = false;
};

std::string RecordLine(const FrameRecord& record);  // one line, no newline

// Parses one line; a malformed one ends the command (status 2) naming the line.
FrameRecord ParseRecordLine(const std::string& line, size_t lineNumber);

}  // namespace vexacam::tools
