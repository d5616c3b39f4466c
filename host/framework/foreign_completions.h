// Completions of request blocks that the framework did not send: tests that call the driver's
// routines directly with blocks of their own read them back here.
#pragma once

#include <vector>

#include "platform/strmini.h"

namespace host::framework {

struct ForeignCompletion {
    PHW_STREAM_REQUEST_BLOCK Srb;
    bool StreamNotification;  // StreamRequestComplete rather than DeviceRequestComplete
    NTSTATUS Status;          // the block's status when it was completed
};

void RecordForeignCompletion(PHW_STREAM_REQUEST_BLOCK Srb, bool StreamNotification);

// Returns and forgets the completions recorded so far, oldest first.
std::vector<ForeignCompletion> TakeForeignCompletions();

}  // namespace host::framework
