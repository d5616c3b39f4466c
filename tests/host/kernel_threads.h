// Running test code on host system threads, so that it counts for the idle barrier.
#pragma once

#include <functional>
#include <utility>

#include "platform/kernel.h"

namespace host_test {

inline void NTAPI RunFunction(PVOID context) {
    auto* heap = static_cast<std::function<void()>*>(context);
    std::function<void()> body = std::move(*heap);
    delete heap;
    body();
}

// Starts `body` on a new system thread; returns its handle.
inline HANDLE StartThread(std::function<void()> body) {
    HANDLE handle = nullptr;
    auto* heap = new std::function<void()>(std::move(body));
    NTSTATUS status = PsCreateSystemThread(&handle, THREAD_ALL_ACCESS, nullptr, nullptr,
                                           nullptr, RunFunction, heap);
    return NT_SUCCESS(status) ? handle : nullptr;
}

// Waits until the thread has ended and closes its handle, as a driver does on stop.
inline void JoinThread(HANDLE handle) {
    PVOID thread = nullptr;
    ObReferenceObjectByHandle(handle, SYNCHRONIZE, *PsThreadType, KernelMode, &thread, nullptr);
    KeWaitForSingleObject(thread, Executive, KernelMode, FALSE, nullptr);
    ObDereferenceObject(thread);
    ZwClose(handle);
}

}  // namespace host_test
