// How far a capture has got, on stderr: a bar redrawn in place on a terminal, plain lines
// (about ten per capture, or one a second for a timed one) when stderr is a file or a pipe.
#pragma once

#include <cstdint>
#include <cstdio>

namespace vexacam::tools {

class ProgressDisplay {
public:
    // Target: frames asked for (0 for a timed capture); Seconds: its length (0 for a count).
    ProgressDisplay(std::FILE* out, uint32_t targetFrames, double targetSeconds, bool terminal);

    // After each delivered picture: Frames so far, Elapsed seconds since the stream ran.
    void Update(uint32_t frames, double elapsed);
    // Ends the bar's line (terminal) or writes the last plain line.
    void Finish(uint32_t frames, double elapsed);

private:
    void Draw(uint32_t frames, double elapsed);
    double Fraction(uint32_t frames, double elapsed) const;

    std::FILE* out_;
    uint32_t targetFrames_;
    double targetSeconds_;
    bool terminal_;
    double lastDrawn_ = -1;     // elapsed time of the last redraw
    int lastStep_ = -1;         // tenth (or second) of the last plain line
    int64_t lastPrinted_ = -1;  // frames the last plain line reported
    bool drewBar_ = false;
};

}  // namespace vexacam::tools
