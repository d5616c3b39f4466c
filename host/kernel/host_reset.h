// Between tests: one host per process, reset to a fresh state.
#pragma once

#include <cstddef>

namespace host {

// Returns the host to its start state: real clock, no timers, queued DPCs, work items or
// scheduled callbacks, no pool records (outstanding blocks are freed), no failure injection,
// zeroed counters, the extended processor state save offered, no open handles, no tracked
// requests, an empty debug log, calling thread at PASSIVE_LEVEL.
// Stops the process if a system thread is still running (a test that did not stop its
// threads would otherwise leak into the next one). Call it at the start of each test.
void ResetHost();

// System threads created by PsCreateSystemThread that have not ended yet.
size_t LiveSystemThreadCount();

// The next ObReferenceObjectByHandle fails with STATUS_INVALID_HANDLE and references nothing,
// for tests of a driver that cannot hold on to the thread it created.
void FailNextObjectReference();

}  // namespace host
