// What drivers wrote with DbgPrintEx: the host keeps each line, so tests can read what the
// driver said about a failure, and a program can ask for the lines on standard error.
#pragma once

#include <string>
#include <vector>

namespace host {

// The lines written since the last ClearDebugLog (or host reset), oldest first, without their
// line ends. The host keeps the latest 4096.
std::vector<std::string> DebugLogLines();
void ClearDebugLog();

// Also copy every line to standard error as it is written (off by default).
void EchoDebugLog(bool on);

}  // namespace host
