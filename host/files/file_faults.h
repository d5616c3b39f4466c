// Disk faults for tests: what a driver does when a file write stops short.
#pragma once

#include "platform/types.h"

namespace host {

// From now on, file writes fail with STATUS_DISK_FULL once `bytes` more bytes have been
// written (a write that crosses the mark writes up to it and fails). ResetHost clears it.
void FailFileWritesAfter(ULONG bytes);
void ClearFileWriteFailure();

}  // namespace host
