// Kernel executive: IRQL, pool, spin locks, dispatcher objects, timers and DPCs, work items,
// system threads, handles, interlocked operations, system time. Names, values and argument
// orders are the platform's. On the host these are ordinary functions implemented in
// host/kernel/ (with the checks of host/verifier/); on the kernel build they come from the
// platform's own headers.
#pragma once

#include "platform/types.h"

#if defined(VEXACAM_WIN32_KERNEL)
#include "platform/win32/kernel.h"
#else

typedef void* HANDLE;
typedef HANDLE* PHANDLE;
typedef ULONG ACCESS_MASK;
typedef LONG KPRIORITY;
typedef SHORT CSHORT;
typedef CHAR CCHAR;
typedef ULONG DEVICE_TYPE;
typedef ULONGLONG* PULONGLONG;

#ifndef STATUS_WAIT_0
#define STATUS_WAIT_0 ((NTSTATUS)0x00000000L)
#endif
#ifndef STATUS_INVALID_HANDLE
#define STATUS_INVALID_HANDLE ((NTSTATUS)0xC0000008L)
#endif
#ifndef STATUS_OBJECT_TYPE_MISMATCH
#define STATUS_OBJECT_TYPE_MISMATCH ((NTSTATUS)0xC0000024L)
#endif

// ---------------------------------------------------------------------------------------------
// Doubly linked lists (intrusive, as the platform's inline helpers)

typedef struct _LIST_ENTRY {
    struct _LIST_ENTRY* Flink;
    struct _LIST_ENTRY* Blink;
} LIST_ENTRY, *PLIST_ENTRY;

#define CONTAINING_RECORD(address, type, field) \
    ((type*)((PUCHAR)(address) - offsetof(type, field)))

inline void InitializeListHead(PLIST_ENTRY ListHead) {
    ListHead->Flink = ListHead->Blink = ListHead;
}
inline BOOLEAN IsListEmpty(const LIST_ENTRY* ListHead) { return ListHead->Flink == ListHead; }
inline BOOLEAN RemoveEntryList(PLIST_ENTRY Entry) {
    PLIST_ENTRY next = Entry->Flink;
    PLIST_ENTRY prev = Entry->Blink;
    prev->Flink = next;
    next->Blink = prev;
    return next == prev;
}
inline PLIST_ENTRY RemoveHeadList(PLIST_ENTRY ListHead) {
    PLIST_ENTRY entry = ListHead->Flink;
    RemoveEntryList(entry);
    return entry;
}
inline PLIST_ENTRY RemoveTailList(PLIST_ENTRY ListHead) {
    PLIST_ENTRY entry = ListHead->Blink;
    RemoveEntryList(entry);
    return entry;
}
inline void InsertTailList(PLIST_ENTRY ListHead, PLIST_ENTRY Entry) {
    PLIST_ENTRY last = ListHead->Blink;
    Entry->Flink = ListHead;
    Entry->Blink = last;
    last->Flink = Entry;
    ListHead->Blink = Entry;
}
inline void InsertHeadList(PLIST_ENTRY ListHead, PLIST_ENTRY Entry) {
    PLIST_ENTRY first = ListHead->Flink;
    Entry->Flink = first;
    Entry->Blink = ListHead;
    first->Blink = Entry;
    ListHead->Flink = Entry;
}

// ---------------------------------------------------------------------------------------------
// IRQL

typedef UCHAR KIRQL;
typedef KIRQL* PKIRQL;

#define PASSIVE_LEVEL 0
#define LOW_LEVEL 0
#define APC_LEVEL 1
#define DISPATCH_LEVEL 2
#define HIGH_LEVEL 31

KIRQL NTAPI KeGetCurrentIrql(void);
KIRQL FASTCALL KfRaiseIrql(KIRQL NewIrql);
void FASTCALL KfLowerIrql(KIRQL NewIrql);
KIRQL NTAPI KeRaiseIrqlToDpcLevel(void);
#define KeRaiseIrql(NewIrql, OldIrql) (*(OldIrql) = KfRaiseIrql(NewIrql))
#define KeLowerIrql(NewIrql) KfLowerIrql(NewIrql)

typedef CCHAR KPROCESSOR_MODE;
typedef enum _MODE { KernelMode, UserMode, MaximumMode } MODE;

// ---------------------------------------------------------------------------------------------
// Pool and memory

typedef enum _POOL_TYPE {
    NonPagedPool = 0,
    PagedPool = 1,
    NonPagedPoolMustSucceed = 2,
    NonPagedPoolCacheAligned = 4,
    PagedPoolCacheAligned = 5,
} POOL_TYPE;

PVOID NTAPI ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag);
PVOID NTAPI ExAllocatePool(POOL_TYPE PoolType, SIZE_T NumberOfBytes);
void NTAPI ExFreePool(PVOID P);
void NTAPI ExFreePoolWithTag(PVOID P, ULONG Tag);

void RtlZeroMemory(void* Destination, SIZE_T Length);
void RtlCopyMemory(void* Destination, const void* Source, SIZE_T Length);
void RtlMoveMemory(void* Destination, const void* Source, SIZE_T Length);
void RtlFillMemory(void* Destination, SIZE_T Length, UCHAR Fill);
// Number of leading bytes that are equal.
SIZE_T NTAPI RtlCompareMemory(const void* Source1, const void* Source2, SIZE_T Length);

// ---------------------------------------------------------------------------------------------
// Spin locks (acquiring raises to DISPATCH_LEVEL)

typedef ULONG_PTR KSPIN_LOCK;
typedef KSPIN_LOCK* PKSPIN_LOCK;

void KeInitializeSpinLock(PKSPIN_LOCK SpinLock);
KIRQL FASTCALL KfAcquireSpinLock(PKSPIN_LOCK SpinLock);
void FASTCALL KfReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql);
void FASTCALL KefAcquireSpinLockAtDpcLevel(PKSPIN_LOCK SpinLock);
void FASTCALL KefReleaseSpinLockFromDpcLevel(PKSPIN_LOCK SpinLock);
#define KeAcquireSpinLock(SpinLock, OldIrql) (*(OldIrql) = KfAcquireSpinLock(SpinLock))
#define KeReleaseSpinLock(SpinLock, NewIrql) KfReleaseSpinLock((SpinLock), (NewIrql))
#define KeAcquireSpinLockAtDpcLevel(SpinLock) KefAcquireSpinLockAtDpcLevel(SpinLock)
#define KeReleaseSpinLockFromDpcLevel(SpinLock) KefReleaseSpinLockFromDpcLevel(SpinLock)

// ---------------------------------------------------------------------------------------------
// Dispatcher objects. Every waitable record starts with a DISPATCHER_HEADER; the kernel never
// destroys one, the owner simply stops using (or frees) its memory.

typedef enum _KOBJECTS {
    EventNotificationObject = 0,
    EventSynchronizationObject = 1,
    MutantObject = 2,
    ProcessObject = 3,
    QueueObject = 4,
    SemaphoreObject = 5,
    ThreadObject = 6,
    TimerNotificationObject = 8,
    TimerSynchronizationObject = 9,
} KOBJECTS;

typedef struct _DISPATCHER_HEADER {
    UCHAR Type;  // a KOBJECTS value
    UCHAR Absolute;
    UCHAR Size;
    UCHAR Inserted;  // timers: set while the timer is queued
    LONG SignalState;
    LIST_ENTRY WaitListHead;
} DISPATCHER_HEADER;

typedef enum _EVENT_TYPE { NotificationEvent, SynchronizationEvent } EVENT_TYPE;
typedef enum _WAIT_TYPE { WaitAll, WaitAny } WAIT_TYPE;
typedef enum _KWAIT_REASON { Executive = 0, FreePage, PageIn, PoolAllocation, DelayExecution,
                             Suspended, UserRequest } KWAIT_REASON;

#define THREAD_WAIT_OBJECTS 3
#define MAXIMUM_WAIT_OBJECTS 64
#define EVENT_INCREMENT 1
#define IO_NO_INCREMENT 0
#define SEMAPHORE_INCREMENT 1

typedef struct _KEVENT {
    DISPATCHER_HEADER Header;
} KEVENT, *PKEVENT, *PRKEVENT;

typedef struct _KSEMAPHORE {
    DISPATCHER_HEADER Header;
    LONG Limit;
} KSEMAPHORE, *PKSEMAPHORE, *PRKSEMAPHORE;

typedef struct _KWAIT_BLOCK {
    LIST_ENTRY WaitListEntry;
    struct _KTHREAD* Thread;
    PVOID Object;
    struct _KWAIT_BLOCK* NextWaitBlock;
    USHORT WaitKey;
    UCHAR WaitType;
    UCHAR SpareByte;
} KWAIT_BLOCK, *PKWAIT_BLOCK;

typedef struct _KTHREAD KTHREAD, *PKTHREAD, *PRKTHREAD;
typedef struct _KTHREAD ETHREAD, *PETHREAD;

void NTAPI KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State);
// Returns the previous signal state.
LONG NTAPI KeSetEvent(PRKEVENT Event, KPRIORITY Increment, BOOLEAN Wait);
LONG NTAPI KeResetEvent(PRKEVENT Event);
void NTAPI KeClearEvent(PRKEVENT Event);
LONG NTAPI KeReadStateEvent(PRKEVENT Event);

void NTAPI KeInitializeSemaphore(PRKSEMAPHORE Semaphore, LONG Count, LONG Limit);
// Returns the previous count. Releasing past the limit is a fault the verifier reports.
LONG NTAPI KeReleaseSemaphore(PRKSEMAPHORE Semaphore, KPRIORITY Increment, LONG Adjustment,
                              BOOLEAN Wait);
LONG NTAPI KeReadStateSemaphore(PRKSEMAPHORE Semaphore);

// Timeout: null waits forever; negative is relative, positive an absolute system time, both in
// 100 ns units; zero only tests the state. Returns STATUS_SUCCESS or STATUS_TIMEOUT.
NTSTATUS NTAPI KeWaitForSingleObject(PVOID Object, KWAIT_REASON WaitReason,
                                     KPROCESSOR_MODE WaitMode, BOOLEAN Alertable,
                                     PLARGE_INTEGER Timeout);
// Returns STATUS_WAIT_0 + index of the satisfying object (WaitAny), STATUS_WAIT_0 (WaitAll) or
// STATUS_TIMEOUT. More than THREAD_WAIT_OBJECTS objects need a WaitBlockArray.
NTSTATUS NTAPI KeWaitForMultipleObjects(ULONG Count, PVOID Object[], WAIT_TYPE WaitType,
                                        KWAIT_REASON WaitReason, KPROCESSOR_MODE WaitMode,
                                        BOOLEAN Alertable, PLARGE_INTEGER Timeout,
                                        PKWAIT_BLOCK WaitBlockArray);
NTSTATUS NTAPI KeDelayExecutionThread(KPROCESSOR_MODE WaitMode, BOOLEAN Alertable,
                                      PLARGE_INTEGER Interval);

// ---------------------------------------------------------------------------------------------
// DPCs and timers. DPCs run one at a time on the DPC thread at DISPATCH_LEVEL.

typedef struct _KDPC KDPC, *PKDPC, *PRKDPC;
typedef void NTAPI KDEFERRED_ROUTINE(PKDPC Dpc, PVOID DeferredContext, PVOID SystemArgument1,
                               PVOID SystemArgument2);
typedef KDEFERRED_ROUTINE* PKDEFERRED_ROUTINE;

struct _KDPC {
    UCHAR Type;
    UCHAR Importance;
    USHORT Number;
    LIST_ENTRY DpcListEntry;
    PKDEFERRED_ROUTINE DeferredRoutine;
    PVOID DeferredContext;
    PVOID SystemArgument1;
    PVOID SystemArgument2;
    PVOID DpcData;  // non-null while queued
};

typedef struct _KTIMER {
    DISPATCHER_HEADER Header;
    ULONGLONG DueTime;  // absolute system time while queued
    LIST_ENTRY TimerListEntry;
    PKDPC Dpc;
    LONG Period;
} KTIMER, *PKTIMER, *PRKTIMER;

void NTAPI KeInitializeDpc(PRKDPC Dpc, PKDEFERRED_ROUTINE DeferredRoutine,
                           PVOID DeferredContext);
// FALSE if the DPC was already queued.
BOOLEAN NTAPI KeInsertQueueDpc(PRKDPC Dpc, PVOID SystemArgument1, PVOID SystemArgument2);
// TRUE if the DPC was queued and has been taken off the queue.
BOOLEAN NTAPI KeRemoveQueueDpc(PRKDPC Dpc);
// Returns once every DPC queued before the call has run. PASSIVE_LEVEL only.
void NTAPI KeFlushQueuedDpcs(void);

void NTAPI KeInitializeTimer(PKTIMER Timer);
// One-shot timer (DueTime as a wait timeout: negative relative, positive absolute). Returns
// TRUE if the timer was already set (it is reset to the new time).
BOOLEAN NTAPI KeSetTimer(PKTIMER Timer, LARGE_INTEGER DueTime, PKDPC Dpc);
// TRUE if the timer was set; its DPC will then not be queued by this expiry.
BOOLEAN NTAPI KeCancelTimer(PKTIMER Timer);
BOOLEAN NTAPI KeReadStateTimer(PKTIMER Timer);

// ---------------------------------------------------------------------------------------------
// Device and driver objects

struct _IRP;
typedef struct _DEVICE_OBJECT DEVICE_OBJECT, *PDEVICE_OBJECT;
typedef struct _DRIVER_OBJECT DRIVER_OBJECT, *PDRIVER_OBJECT;

#define IRP_MJ_CREATE 0x00
#define IRP_MJ_CLOSE 0x02
#define IRP_MJ_READ 0x03
#define IRP_MJ_WRITE 0x04
#define IRP_MJ_FLUSH_BUFFERS 0x09
#define IRP_MJ_DEVICE_CONTROL 0x0e
#define IRP_MJ_INTERNAL_DEVICE_CONTROL 0x0f
#define IRP_MJ_SHUTDOWN 0x10
#define IRP_MJ_CLEANUP 0x12
#define IRP_MJ_POWER 0x16
#define IRP_MJ_SYSTEM_CONTROL 0x17
#define IRP_MJ_PNP 0x1b
#define IRP_MJ_MAXIMUM_FUNCTION 0x1b

#define DO_BUFFERED_IO 0x00000004
#define DO_DIRECT_IO 0x00000010
#define DO_DEVICE_INITIALIZING 0x00000080
#define DO_POWER_PAGABLE 0x00002000

#define FILE_DEVICE_KS 0x0000002f
#define FILE_DEVICE_UNKNOWN 0x00000022

typedef NTSTATUS NTAPI DRIVER_DISPATCH(PDEVICE_OBJECT DeviceObject, struct _IRP* Irp);
typedef DRIVER_DISPATCH* PDRIVER_DISPATCH;
typedef NTSTATUS NTAPI DRIVER_INITIALIZE(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);
typedef DRIVER_INITIALIZE* PDRIVER_INITIALIZE;
typedef NTSTATUS NTAPI DRIVER_ADD_DEVICE(PDRIVER_OBJECT DriverObject,
                                   PDEVICE_OBJECT PhysicalDeviceObject);
typedef DRIVER_ADD_DEVICE* PDRIVER_ADD_DEVICE;
typedef void NTAPI DRIVER_UNLOAD(PDRIVER_OBJECT DriverObject);
typedef DRIVER_UNLOAD* PDRIVER_UNLOAD;
typedef void NTAPI DRIVER_STARTIO(PDEVICE_OBJECT DeviceObject, struct _IRP* Irp);
typedef DRIVER_STARTIO* PDRIVER_STARTIO;

// Field for field the platform's record (a driver image reads StackSize and DeviceExtension at
// the platform's offsets); parts the host never uses are opaque words of the platform's sizes.
struct _DEVICE_OBJECT {
    CSHORT Type;
    USHORT Size;
    LONG ReferenceCount;
    PDRIVER_OBJECT DriverObject;
    PDEVICE_OBJECT NextDevice;
    PDEVICE_OBJECT AttachedDevice;
    struct _IRP* CurrentIrp;
    PVOID Timer;
    ULONG Flags;
    ULONG Characteristics;
    PVOID Vpb;
    PVOID DeviceExtension;
    DEVICE_TYPE DeviceType;
    CCHAR StackSize;
    union {
        LIST_ENTRY ListEntry;
        PVOID Wcb[10];  // a WAIT_CONTEXT_BLOCK: 40 bytes on 32-bit x86
    } Queue;
    ULONG AlignmentRequirement;
    PVOID DeviceQueue[5];  // a KDEVICE_QUEUE: 20 bytes on 32-bit x86
    KDPC Dpc;
    ULONG ActiveThreadCount;
    PVOID SecurityDescriptor;
    KEVENT DeviceLock;
    USHORT SectorSize;
    USHORT Spare1;
    PVOID DeviceObjectExtension;
    PVOID Reserved;
};

typedef struct _DRIVER_EXTENSION {
    PDRIVER_OBJECT DriverObject;
    PDRIVER_ADD_DEVICE AddDevice;
    ULONG Count;
    UNICODE_STRING ServiceKeyName;
} DRIVER_EXTENSION, *PDRIVER_EXTENSION;

struct _DRIVER_OBJECT {
    CSHORT Type;
    CSHORT Size;
    PDEVICE_OBJECT DeviceObject;
    ULONG Flags;
    PVOID DriverStart;
    ULONG DriverSize;
    PVOID DriverSection;
    PDRIVER_EXTENSION DriverExtension;
    UNICODE_STRING DriverName;
    PUNICODE_STRING HardwareDatabase;
    PVOID FastIoDispatch;
    PDRIVER_INITIALIZE DriverInit;
    PDRIVER_STARTIO DriverStartIo;
    PDRIVER_UNLOAD DriverUnload;
    PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
};

// ---------------------------------------------------------------------------------------------
// Work items: routines run on a system worker thread at PASSIVE_LEVEL. The item itself is
// allocated from non-paged pool.

typedef struct _IO_WORKITEM IO_WORKITEM, *PIO_WORKITEM;
typedef void NTAPI IO_WORKITEM_ROUTINE(PDEVICE_OBJECT DeviceObject, PVOID Context);
typedef IO_WORKITEM_ROUTINE* PIO_WORKITEM_ROUTINE;
typedef enum _WORK_QUEUE_TYPE {
    CriticalWorkQueue = 0,
    DelayedWorkQueue = 1,
    HyperCriticalWorkQueue = 2,
} WORK_QUEUE_TYPE;

PIO_WORKITEM NTAPI IoAllocateWorkItem(PDEVICE_OBJECT DeviceObject);
void NTAPI IoQueueWorkItem(PIO_WORKITEM IoWorkItem, PIO_WORKITEM_ROUTINE WorkerRoutine,
                           WORK_QUEUE_TYPE QueueType, PVOID Context);
void NTAPI IoFreeWorkItem(PIO_WORKITEM IoWorkItem);

// ---------------------------------------------------------------------------------------------
// Object attributes, access rights, handles, system threads

#define OBJ_INHERIT 0x00000002L
#define OBJ_PERMANENT 0x00000010L
#define OBJ_EXCLUSIVE 0x00000020L
#define OBJ_CASE_INSENSITIVE 0x00000040L
#define OBJ_OPENIF 0x00000080L
#define OBJ_KERNEL_HANDLE 0x00000200L

typedef struct _OBJECT_ATTRIBUTES {
    ULONG Length;
    HANDLE RootDirectory;
    PUNICODE_STRING ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
} OBJECT_ATTRIBUTES, *POBJECT_ATTRIBUTES;

#define InitializeObjectAttributes(p, n, a, r, s)   \
    do {                                             \
        (p)->Length = sizeof(OBJECT_ATTRIBUTES);     \
        (p)->RootDirectory = (r);                    \
        (p)->Attributes = (a);                       \
        (p)->ObjectName = (n);                       \
        (p)->SecurityDescriptor = (s);               \
        (p)->SecurityQualityOfService = NULL;        \
    } while (0)

#define DELETE 0x00010000L
#define READ_CONTROL 0x00020000L
#define SYNCHRONIZE 0x00100000L
#define STANDARD_RIGHTS_REQUIRED 0x000F0000L
#define STANDARD_RIGHTS_READ READ_CONTROL
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#define STANDARD_RIGHTS_ALL 0x001F0000L
#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L
#define GENERIC_EXECUTE 0x20000000L
#define GENERIC_ALL 0x10000000L
#define THREAD_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0xFFFF)

typedef struct _CLIENT_ID {
    HANDLE UniqueProcess;
    HANDLE UniqueThread;
} CLIENT_ID, *PCLIENT_ID;

typedef struct _OBJECT_TYPE* POBJECT_TYPE;
extern POBJECT_TYPE* PsThreadType;

typedef void NTAPI KSTART_ROUTINE(PVOID StartContext);
typedef KSTART_ROUTINE* PKSTART_ROUTINE;

// The new thread runs StartRoutine at PASSIVE_LEVEL; its object is signalled when it ends.
NTSTATUS NTAPI PsCreateSystemThread(PHANDLE ThreadHandle, ULONG DesiredAccess,
                                    POBJECT_ATTRIBUTES ObjectAttributes, HANDLE ProcessHandle,
                                    PCLIENT_ID ClientId, PKSTART_ROUTINE StartRoutine,
                                    PVOID StartContext);
// Ends the calling system thread; does not return.
NTSTATUS NTAPI PsTerminateSystemThread(NTSTATUS ExitStatus);
NTSTATUS NTAPI ObReferenceObjectByHandle(HANDLE Handle, ACCESS_MASK DesiredAccess,
                                         POBJECT_TYPE ObjectType, KPROCESSOR_MODE AccessMode,
                                         PVOID* Object, PVOID HandleInformation);
LONG_PTR FASTCALL ObfDereferenceObject(PVOID Object);
#define ObDereferenceObject(Object) ObfDereferenceObject(Object)
// Waits on the object behind a handle (a thread handle on the host). PASSIVE_LEVEL.
NTSTATUS NTAPI ZwWaitForSingleObject(HANDLE Handle, BOOLEAN Alertable, PLARGE_INTEGER Timeout);
// Closes a handle of any kind (thread, registry key, file).
NTSTATUS NTAPI ZwClose(HANDLE Handle);

// ---------------------------------------------------------------------------------------------
// Interlocked operations (full barriers)

LONG InterlockedIncrement(LONG volatile* Addend);
LONG InterlockedDecrement(LONG volatile* Addend);
LONG InterlockedExchange(LONG volatile* Target, LONG Value);
LONG InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comparand);
LONG InterlockedExchangeAdd(LONG volatile* Addend, LONG Value);
PVOID InterlockedExchangePointer(PVOID volatile* Target, PVOID Value);
PVOID InterlockedCompareExchangePointer(PVOID volatile* Destination, PVOID Exchange,
                                        PVOID Comparand);

// ---------------------------------------------------------------------------------------------
// Debug output: one formatted line for whoever watches the system's debug channel, filtered
// by component and level. The host keeps the lines (host/kernel/debug_log.h).

#define DPFLTR_ERROR_LEVEL 0
#define DPFLTR_WARNING_LEVEL 1
#define DPFLTR_TRACE_LEVEL 2
#define DPFLTR_INFO_LEVEL 3
#define DPFLTR_IHVVIDEO_ID 78

ULONG DbgPrintEx(ULONG ComponentId, ULONG Level, PCSTR Format, ...)
    __attribute__((format(printf, 3, 4)));

// ---------------------------------------------------------------------------------------------
// Time and floating point

// 100 ns units since 1 January 1601 (the host clock: real or driven by a test).
void NTAPI KeQuerySystemTime(PLARGE_INTEGER CurrentTime);
// 100 ns units since the host started; never goes backwards.
ULONGLONG NTAPI KeQueryInterruptTime(void);

typedef struct _KFLOATING_SAVE {
    ULONG Reserved[8];
} KFLOATING_SAVE, *PKFLOATING_SAVE;

NTSTATUS NTAPI KeSaveFloatingPointState(PKFLOATING_SAVE FloatSave);
NTSTATUS NTAPI KeRestoreFloatingPointState(PKFLOATING_SAVE FloatSave);

// Extended processor state: the register files beyond x87 and SSE (the upper halves of the
// AVX registers, the AVX-512 ones). Only newer systems have these two routines, so a driver
// that must also load on older ones finds them with MmGetSystemRoutineAddress instead of
// importing them. The host offers them unless a test withdraws them
// (host/kernel/processor_state.h).
#define XSTATE_MASK_LEGACY_FLOATING_POINT (1ULL << 0)
#define XSTATE_MASK_LEGACY_SSE (1ULL << 1)
#define XSTATE_MASK_LEGACY (XSTATE_MASK_LEGACY_FLOATING_POINT | XSTATE_MASK_LEGACY_SSE)
#define XSTATE_MASK_AVX (1ULL << 2)
#define XSTATE_MASK_AVX512 ((1ULL << 5) | (1ULL << 6) | (1ULL << 7))

typedef struct _XSTATE_SAVE {
    ULONGLONG Reserved1;
    ULONG Reserved2[6];
} XSTATE_SAVE, *PXSTATE_SAVE;

// IRQL <= DISPATCH_LEVEL. Saves the state components of Mask that the processor has.
NTSTATUS NTAPI KeSaveExtendedProcessorState(ULONGLONG Mask, PXSTATE_SAVE XStateSave);
VOID NTAPI KeRestoreExtendedProcessorState(PXSTATE_SAVE XStateSave);

// The address of a routine the kernel or the HAL exports, by its exported name; null when the
// running system has no such routine. PASSIVE_LEVEL.
PVOID NTAPI MmGetSystemRoutineAddress(PUNICODE_STRING SystemRoutineName);

// Widest vector registers whose contents survive between KeSaveFloatingPointState and
// KeRestoreFloatingPointState on the 32-bit kernel: x87 and the 128-bit SSE registers. The host
// keeps to the kernel's rule so that its driver chooses as the image does.
#define VEXACAM_SAVED_VECTOR_BITS 128
// Widest vector registers the driver asks KeSaveExtendedProcessorState to keep, where the
// system has it: all of them on the host.
#define VEXACAM_EXTENDED_SAVED_VECTOR_BITS 512

// After either save: the x87 precision the driver computes at (nothing to set on the host,
// whose doubles are SSE2's).
inline void VexacamSetDoublePrecision() {}

#endif  // VEXACAM_WIN32_KERNEL

// A pool tag from its four characters, as a pool dump shows them (the first lowest).
constexpr ULONG MakePoolTag(const char (&Text)[5]) {
    return static_cast<ULONG>(static_cast<UCHAR>(Text[0])) |
           static_cast<ULONG>(static_cast<UCHAR>(Text[1])) << 8 |
           static_cast<ULONG>(static_cast<UCHAR>(Text[2])) << 16 |
           static_cast<ULONG>(static_cast<UCHAR>(Text[3])) << 24;
}

// ---------------------------------------------------------------------------------------------
// Read-once / write-once accessors for fields that several execution contexts touch without a
// lock (a flag written by a property request and read by the DPC, a counter only one side
// writes). They stop the compiler from tearing, caching or inventing accesses; on the host
// they are atomic so ThreadSanitizer sees them, on the kernel build plain volatile accesses.
// ReadAcquire / WriteRelease additionally order the surrounding accesses (publishing a record
// through an index, for instance).

namespace vexacam_detail {
template <typename T> struct RemoveCv { typedef T Type; };
template <typename T> struct RemoveCv<const T> { typedef T Type; };
template <typename T> struct RemoveCv<volatile T> { typedef T Type; };
template <typename T> struct RemoveCv<const volatile T> { typedef T Type; };
}  // namespace vexacam_detail

#if defined(VEXACAM_WIN32_KERNEL)
template <typename T>
inline typename vexacam_detail::RemoveCv<T>::Type ReadOnce(const T& x) {
    return *static_cast<const volatile T*>(&x);
}
template <typename T>
inline void WriteOnce(T& x, typename vexacam_detail::RemoveCv<T>::Type v) {
    *static_cast<volatile T*>(&x) = v;
}
template <typename T>
inline typename vexacam_detail::RemoveCv<T>::Type ReadAcquire(const T& x) {
    typename vexacam_detail::RemoveCv<T>::Type v = *static_cast<const volatile T*>(&x);
    __atomic_signal_fence(__ATOMIC_ACQUIRE);  // x86 loads are acquire loads
    return v;
}
template <typename T>
inline void WriteRelease(T& x, typename vexacam_detail::RemoveCv<T>::Type v) {
    __atomic_signal_fence(__ATOMIC_RELEASE);  // x86 stores are release stores
    *static_cast<volatile T*>(&x) = v;
}
#else
template <typename T>
inline typename vexacam_detail::RemoveCv<T>::Type ReadOnce(const T& x) {
    return __atomic_load_n(&x, __ATOMIC_RELAXED);
}
template <typename T>
inline void WriteOnce(T& x, typename vexacam_detail::RemoveCv<T>::Type v) {
    __atomic_store_n(&x, v, __ATOMIC_RELAXED);
}
template <typename T>
inline typename vexacam_detail::RemoveCv<T>::Type ReadAcquire(const T& x) {
    return __atomic_load_n(&x, __ATOMIC_ACQUIRE);
}
template <typename T>
inline void WriteRelease(T& x, typename vexacam_detail::RemoveCv<T>::Type v) {
    __atomic_store_n(&x, v, __ATOMIC_RELEASE);
}
#endif

// ---------------------------------------------------------------------------------------------
// Floating point in kernel code: a kernel routine must save the floating-point and vector
// register state before it computes with them (the registers may hold a user thread's values)
// and restore it afterwards. Body runs between KeSaveFloatingPointState and
// KeRestoreFloatingPointState; when the state cannot be saved Body does not run and the save's
// status is returned. Body may wait if the caller is at PASSIVE_LEVEL.
template <typename BODY>
inline NTSTATUS WithFloatingPointSaved(BODY&& Body) {
    KFLOATING_SAVE FloatState;
    const NTSTATUS Status = KeSaveFloatingPointState(&FloatState);
    if (!NT_SUCCESS(Status)) return Status;
    Body();
    KeRestoreFloatingPointState(&FloatState);
    return STATUS_SUCCESS;
}
