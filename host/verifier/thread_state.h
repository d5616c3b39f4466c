// Internal to host/: the emulated IRQL and spin-lock count of the calling thread.
#pragma once

#include "platform/kernel.h"

namespace host::detail {

struct ThreadState {
    KIRQL irql = PASSIVE_LEVEL;
    int spin_locks_held = 0;
};

ThreadState& CurrentThreadState();

}  // namespace host::detail
