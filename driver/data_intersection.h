// SRB_GET_DATA_INTERSECTION: turns a client's data range into a format of the capture stream.
#pragma once

#include "platform/strmini.h"

// Sets srb->Status and srb->ActualBytesTransferred; true when a format (or its size, for a
// four-byte size query) was written.
bool ComputeDataIntersection(PHW_STREAM_REQUEST_BLOCK Srb);
