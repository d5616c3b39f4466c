// The handle table: increasing handle values (multiples of 4, as the platform's), never reused.
#include "host/kernel/handle_table.h"

#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/kernel/dispatcher.h"
#include "host/verifier/verifier.h"

namespace host {

namespace {

struct Entry {
    HandleKind kind;
    void* object;
    std::function<void()> on_close;
};

struct HandleTable {
    std::mutex lock;
    std::unordered_map<ULONG_PTR, Entry> entries;
    ULONG_PTR next_value = 4;
};

HandleTable& Table() {
    static auto* table = new HandleTable;
    return *table;
}

}  // namespace

HANDLE CreateHandle(HandleKind kind, void* object, std::function<void()> on_close) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    ULONG_PTR value = table.next_value;
    table.next_value += 4;
    table.entries.emplace(value, Entry{kind, object, std::move(on_close)});
    return reinterpret_cast<HANDLE>(value);
}

void* LookupHandle(HANDLE handle, HandleKind kind) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.entries.find(reinterpret_cast<ULONG_PTR>(handle));
    if (it == table.entries.end() || it->second.kind != kind) return nullptr;
    return it->second.object;
}

bool CloseHandle(HANDLE handle) {
    std::function<void()> on_close;
    {
        HandleTable& table = Table();
        std::lock_guard<std::mutex> guard(table.lock);
        auto it = table.entries.find(reinterpret_cast<ULONG_PTR>(handle));
        if (it == table.entries.end()) return false;
        on_close = std::move(it->second.on_close);
        table.entries.erase(it);
    }
    if (on_close) on_close();
    return true;
}

size_t OpenHandleCount() {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    return table.entries.size();
}

namespace detail {

void ResetHandles() {
    std::vector<std::function<void()>> callbacks;
    {
        HandleTable& table = Table();
        std::lock_guard<std::mutex> guard(table.lock);
        for (auto& [value, entry] : table.entries) callbacks.push_back(std::move(entry.on_close));
        table.entries.clear();
    }
    for (auto& callback : callbacks) {
        if (callback) callback();
    }
}

}  // namespace detail

}  // namespace host

// PASSIVE_LEVEL. Closing a handle that is not open (twice, or never opened) is a verifier
// fault, as the platform's own verifier treats it in kernel mode.
NTSTATUS ZwClose(HANDLE Handle) {
    host::VerifyPassiveLevel("ZwClose");
    if (!host::CloseHandle(Handle)) {
        host::VerifierFault("ZwClose of handle %p, which is not open", Handle);
    }
    return STATUS_SUCCESS;
}
