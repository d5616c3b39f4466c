// Ctrl-C and SIGTERM as a request to stop: the capture finishes the frame in hand, finalises
// its files, prints its summary and exits with status 130. A second signal ends the program at
// once, as people expect when a stop takes too long.
#pragma once

namespace vexacam::tools {

// Installs the handlers (once per process).
void CatchStopSignals();

// True once SIGINT or SIGTERM arrived.
bool StopRequested();

}  // namespace vexacam::tools
