// System threads: a thread object (waitable, signalled when the thread ends) referenced by its
// handle, by the running thread and by ObReferenceObjectByHandle callers.
#include <setjmp.h>

#include <atomic>
#include <thread>

#include "host/kernel/dispatcher.h"
#include "host/kernel/handle_table.h"
#include "host/kernel/host_reset.h"
#include "host/verifier/verifier.h"

struct _OBJECT_TYPE {
    const char* Name;
};

struct _KTHREAD {
    DISPATCHER_HEADER Header;  // first: waits treat the thread as a dispatcher object
    std::atomic<int> References;
    PKSTART_ROUTINE StartRoutine;
    PVOID StartContext;
    jmp_buf Terminate;  // where PsTerminateSystemThread leaves the driver's frames
};

namespace {

_OBJECT_TYPE g_thread_type = {"Thread"};
POBJECT_TYPE g_thread_type_pointer = &g_thread_type;

size_t g_live_threads = 0;  // guarded by the dispatcher lock
std::atomic<bool> g_fail_next_reference{false};

// Returns the references left.
LONG_PTR Dereference(PKTHREAD thread) {
    const LONG_PTR left = thread->References.fetch_sub(1) - 1;
    if (left == 0) delete thread;
    return left;
}

// Ends the calling system thread's life as the kernel sees it: signals its object and gives up
// its unit of the busy count.
void FinishThread(PKTHREAD thread) {
    using namespace host::detail;
    if (KeGetCurrentIrql() != PASSIVE_LEVEL) {
        host::VerifierFault("system thread ended at IRQL %u instead of PASSIVE_LEVEL",
                            KeGetCurrentIrql());
    }
    {
        Guard guard(DispatcherLock());
        thread->Header.SignalState = 1;
        WakeSatisfiedWaiters();
        --g_live_threads;
        CurrentHostThread().counted = false;
        CurrentHostThread().thread = nullptr;
        RemoveBusy();
        DispatcherChanged().notify_all();
    }
    Dereference(thread);
}

// A thread that ends with PsTerminateSystemThread comes back here by a long jump, over the
// driver's frames only (kernel code: nothing to destroy). Unwinding them instead, as
// pthread_exit does, would read the driver's code, which an unload may have unmapped as soon
// as the thread's object is signalled.
void SystemThreadMain(PKTHREAD thread) {
    host::detail::CurrentHostThread().thread = thread;
    host::detail::CurrentHostThread().counted = true;  // the unit PsCreateSystemThread added
    if (setjmp(thread->Terminate) == 0) thread->StartRoutine(thread->StartContext);
    FinishThread(thread);
}

}  // namespace

POBJECT_TYPE* PsThreadType = &g_thread_type_pointer;

namespace host {

void FailNextObjectReference() { g_fail_next_reference.store(true); }

size_t LiveSystemThreadCount() {
    detail::Guard guard(detail::DispatcherLock());
    return g_live_threads;
}

namespace detail {
size_t LiveThreadCount() { return g_live_threads; }
void ClearObjectReferenceFailure() { g_fail_next_reference.store(false); }
}  // namespace detail

}  // namespace host

using namespace host::detail;

// PASSIVE_LEVEL.
NTSTATUS PsCreateSystemThread(PHANDLE ThreadHandle, ULONG, POBJECT_ATTRIBUTES, HANDLE,
                              PCLIENT_ID ClientId, PKSTART_ROUTINE StartRoutine,
                              PVOID StartContext) {
    host::VerifyPassiveLevel("PsCreateSystemThread");
    auto* thread = new _KTHREAD;
    thread->Header = DISPATCHER_HEADER{};
    thread->Header.Type = ThreadObject;
    InitializeListHead(&thread->Header.WaitListHead);
    thread->References.store(2);  // the handle and the running thread
    thread->StartRoutine = StartRoutine;
    thread->StartContext = StartContext;

    HANDLE handle = host::CreateHandle(host::HandleKind::Thread, thread,
                                       [thread] { Dereference(thread); });
    {
        Guard guard(DispatcherLock());
        ++g_live_threads;
        AddBusy();
    }
    std::thread(SystemThreadMain, thread).detach();
    *ThreadHandle = handle;
    if (ClientId != nullptr) {
        ClientId->UniqueProcess = nullptr;
        ClientId->UniqueThread = handle;
    }
    return STATUS_SUCCESS;
}

// PASSIVE_LEVEL, from a system thread only. Does not return.
NTSTATUS PsTerminateSystemThread(NTSTATUS) {
    PKTHREAD thread = CurrentHostThread().thread;
    if (thread == nullptr) host::VerifierFault("PsTerminateSystemThread outside a system thread");
    longjmp(thread->Terminate, 1);
}

// PASSIVE_LEVEL. Only thread handles refer to objects on the host.
NTSTATUS ObReferenceObjectByHandle(HANDLE Handle, ACCESS_MASK, POBJECT_TYPE ObjectType,
                                   KPROCESSOR_MODE, PVOID* Object, PVOID) {
    host::VerifyPassiveLevel("ObReferenceObjectByHandle");
    *Object = nullptr;
    if (g_fail_next_reference.exchange(false)) return STATUS_INVALID_HANDLE;
    auto* thread = static_cast<PKTHREAD>(host::LookupHandle(Handle, host::HandleKind::Thread));
    if (thread == nullptr) {
        bool other_kind = host::LookupHandle(Handle, host::HandleKind::RegistryKey) != nullptr ||
                          host::LookupHandle(Handle, host::HandleKind::File) != nullptr;
        return other_kind ? STATUS_OBJECT_TYPE_MISMATCH : STATUS_INVALID_HANDLE;
    }
    if (ObjectType != nullptr && ObjectType != *PsThreadType) return STATUS_OBJECT_TYPE_MISMATCH;
    thread->References.fetch_add(1);
    *Object = thread;
    return STATUS_SUCCESS;
}

// PASSIVE_LEVEL (or DISPATCH_LEVEL with a zero time-out). Only thread handles are waitable here.
NTSTATUS ZwWaitForSingleObject(HANDLE Handle, BOOLEAN Alertable, PLARGE_INTEGER Timeout) {
    auto* thread = static_cast<PKTHREAD>(host::LookupHandle(Handle, host::HandleKind::Thread));
    if (thread == nullptr) return STATUS_INVALID_HANDLE;
    return KeWaitForSingleObject(thread, Executive, KernelMode, Alertable, Timeout);
}

// Any IRQL up to DISPATCH_LEVEL.
LONG_PTR ObfDereferenceObject(PVOID Object) {
    auto* thread = static_cast<PKTHREAD>(Object);
    if (thread == nullptr || thread->Header.Type != ThreadObject) {
        host::VerifierFault("ObDereferenceObject of %p, which is not a referenced object", Object);
    }
    return Dereference(thread);
}
