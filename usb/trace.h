// The driver's trace: one line on the system's debug channel each time it gives up on
// something (a send that failed, a recovery, a time-out, a refused request), so that a camera
// that misbehaves leaves a record. Never per frame while streaming goes well.
#pragma once

#include "platform/kernel.h"

#define TRACE_EVENT(Format, ...) \
    DbgPrintEx(DPFLTR_IHVVIDEO_ID, DPFLTR_WARNING_LEVEL, "vexacam: " Format "\n", ##__VA_ARGS__)

// A status as the trace prints it (%08X).
inline unsigned TraceStatus(NTSTATUS Status) { return static_cast<unsigned>(Status); }
