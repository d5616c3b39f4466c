// Resident pages. On the platform, non-paged pool is backed by physical memory when it is
// allocated, and a read request's buffer is locked into memory by the framework before the
// driver sees the request: the driver never takes a page fault on either. A user-mode process
// gets its pages on first touch instead, and on a virtual machine a first touch can cost ten
// microseconds a page, so a 3 MB frame buffer first written inside the frame path would cost
// milliseconds the real system never spends. The host makes those ranges resident up front.
#pragma once

#include <cstddef>

namespace host {

// Faults in every page that [address, address + length) touches, writable, without changing a
// byte. The range must be memory the process may write.
void MakeResident(void* address, size_t length);

// How many of the pages that [address, address + length) touches are not in memory now (all
// of them if the range is not mapped).
size_t PagesNotResident(const void* address, size_t length);

}  // namespace host
