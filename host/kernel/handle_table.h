// Kernel handles on the host. Every object a HANDLE stands for (system thread, registry key,
// file) is entered here with a close callback; ZwClose closes any kind. Handle values are
// never reused, so a stale handle is caught rather than aliasing a new object.
//
// Registry and file services: CreateHandle(HandleKind::RegistryKey, key, [key] { delete key; })
// on open, LookupHandle(h, HandleKind::RegistryKey) at the top of each call (null: answer
// STATUS_INVALID_HANDLE), and nothing on close: ZwClose runs the callback.
#pragma once

#include <cstddef>
#include <functional>

#include "platform/kernel.h"

namespace host {

enum class HandleKind { Thread, RegistryKey, File };

// Returns a new handle for `object`. `on_close` runs exactly once, when the handle is closed,
// outside the table's lock (it may close other handles).
HANDLE CreateHandle(HandleKind kind, void* object, std::function<void()> on_close);
// The object behind `handle` if it is open and of `kind`, else null.
void* LookupHandle(HANDLE handle, HandleKind kind);
// Closes the handle; false if it was not open.
bool CloseHandle(HANDLE handle);
size_t OpenHandleCount();

}  // namespace host
