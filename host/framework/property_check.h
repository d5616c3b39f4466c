// Internal to host/framework: the checks the framework makes on a property request against the
// minidriver's property tables before the minidriver sees it.
#pragma once

#include "platform/ks.h"

#ifndef STATUS_NOT_FOUND
#define STATUS_NOT_FOUND ((NTSTATUS)0xC0000225L)
#endif
#ifndef STATUS_INVALID_BUFFER_SIZE
#define STATUS_INVALID_BUFFER_SIZE ((NTSTATUS)0xC0000206L)
#endif

namespace host::framework {

struct PropertyLookup {
    NTSTATUS Status;  // STATUS_SUCCESS when the request may go to the minidriver
    ULONG SetIndex;   // index of the set in the table (STREAM_PROPERTY_DESCRIPTOR.PropertySetID)
    ULONG Needed;     // with STATUS_BUFFER_OVERFLOW: the data size the item needs
};

// Unknown set or id: STATUS_NOT_FOUND. Get or set not supported: STATUS_INVALID_DEVICE_REQUEST.
// Input shorter than MinProperty: STATUS_INVALID_BUFFER_SIZE. Data shorter than MinData:
// STATUS_BUFFER_OVERFLOW with the needed size when no data buffer was given, else
// STATUS_BUFFER_TOO_SMALL.
PropertyLookup CheckPropertyRequest(const KSPROPERTY_SET* Sets, ULONG SetCount, const GUID& Set,
                                    ULONG Id, bool IsSet, ULONG InputSize, ULONG DataSize);

}  // namespace host::framework
