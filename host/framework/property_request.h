// Internal to host/framework: a device or stream property request, checked against the
// minidriver's tables and then sent.
#pragma once

#include "host/framework/adapter.h"
#include "host/framework/client.h"

namespace host::framework {

// stream null: a device property (the header's sets), else a property of that stream.
NTSTATUS SendPropertyRequest(FrameworkAdapter& adapter, FrameworkStream* stream,
                             const PropertyCall& call, bool isSet, ULONG* bytesReturned);

}  // namespace host::framework
