// One line of a capture's frames.jsonl as `vexacam process --replay` reads it: anything from a
// file the user hands us. A line is either refused with a usage failure or parsed into a record
// that writes back as a line parsing to the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/command.h"
#include "tools/frame_record.h"

namespace {

bool SameRecord(const vexacam::tools::FrameRecord& a, const vexacam::tools::FrameRecord& b) {
    return a.Frame == b.Frame && a.PictureNumber == b.PictureNumber && a.PresentationTime == b.PresentationTime &&
           a.Duration == b.Duration && a.Discontinuity == b.Discontinuity && a.DroppedSoFar == b.DroppedSoFar &&
           a.Width == b.Width && a.Height == b.Height && a.Saved == b.Saved && a.Files == b.Files &&
           a.State.Settings == b.State.Settings && a.State.Tables == b.State.Tables &&
           a.State.WhiteBalancePending == b.State.WhiteBalancePending &&
           a.State.ExposurePending == b.State.ExposurePending && a.GainMapFile == b.GainMapFile &&
           a.DefectTableFile == b.DefectTableFile && a.ReplayChecked == b.ReplayChecked;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vexacam::tools;
    const std::string line(reinterpret_cast<const char*>(data), size);
    FrameRecord record;
    try {
        record = ParseRecordLine(line, 1);
    } catch (const CommandFailure& refused) {
        if (refused.Status() != kUsageError) std::abort();
        return 0;
    }
    if (!SameRecord(ParseRecordLine(RecordLine(record), 1), record)) std::abort();
    return 0;
}
