// Registry faults for tests: what a driver does when its settings cannot be stored.
#pragma once

namespace host {

// While on, ZwSetValueKey fails with STATUS_INSUFFICIENT_RESOURCES and stores nothing.
// ResetHost turns it off.
void FailRegistryValueWrites(bool on);

}  // namespace host
