// DbgPrintEx and the log of what it printed.
#include "host/kernel/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <deque>
#include <mutex>

#include "platform/kernel.h"

namespace host {
namespace {

constexpr size_t kKeptLines = 4096;

struct DebugLog {
    std::mutex Lock;
    std::deque<std::string> Lines;
    bool Echo = false;
};

DebugLog& Log() {
    static auto* log = new DebugLog;
    return *log;
}

void Append(std::string line) {
    while (!line.empty() && line.back() == '\n') line.pop_back();
    DebugLog& log = Log();
    std::lock_guard<std::mutex> guard(log.Lock);
    if (log.Echo) std::fprintf(stderr, "%s\n", line.c_str());
    log.Lines.push_back(std::move(line));
    if (log.Lines.size() > kKeptLines) log.Lines.pop_front();
}

}  // namespace

std::vector<std::string> DebugLogLines() {
    DebugLog& log = Log();
    std::lock_guard<std::mutex> guard(log.Lock);
    return {log.Lines.begin(), log.Lines.end()};
}

void ClearDebugLog() {
    DebugLog& log = Log();
    std::lock_guard<std::mutex> guard(log.Lock);
    log.Lines.clear();
}

void EchoDebugLog(bool on) {
    DebugLog& log = Log();
    std::lock_guard<std::mutex> guard(log.Lock);
    log.Echo = on;
}

}  // namespace host

// Any IRQL. Every line is kept whatever its component and level, as a debugger that shows all
// of them would.
ULONG DbgPrintEx(ULONG ComponentId, ULONG Level, PCSTR Format, ...) {
    (void)ComponentId;
    (void)Level;
    char text[512];
    va_list arguments;
    va_start(arguments, Format);
    std::vsnprintf(text, sizeof text, Format, arguments);
    va_end(arguments);
    host::Append(text);
    return STATUS_SUCCESS;
}
