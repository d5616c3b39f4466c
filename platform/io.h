// The I/O manager's request packets as the driver uses them: IRP, stack locations, completion
// routines, synchronous device-control requests and cancellation. Names, values and semantics
// are the platform's: a driver fills the next stack location and calls IoCallDriver; the lower
// driver completes the IRP with IoCompleteRequest, which runs the completion routines from the
// lowest stack location upward until one returns STATUS_MORE_PROCESSING_REQUIRED. An IRP built
// by IoBuildDeviceIoControlRequest belongs to the I/O manager: on completion its status is
// copied to the caller's IO_STATUS_BLOCK, its event is signalled and the IRP is freed.
#pragma once

#include "platform/kernel.h"

#if defined(VEXACAM_WIN32_KERNEL)
#include "platform/win32/io.h"
#else

typedef struct _IO_STATUS_BLOCK {
    union {
        NTSTATUS Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
} IO_STATUS_BLOCK, *PIO_STATUS_BLOCK;

typedef NTSTATUS NTAPI IO_COMPLETION_ROUTINE(PDEVICE_OBJECT DeviceObject, struct _IRP* Irp,
                                       PVOID Context);
typedef IO_COMPLETION_ROUTINE* PIO_COMPLETION_ROUTINE;

typedef void(NTAPI* PIO_APC_ROUTINE)(PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock,
                                     ULONG Reserved);

typedef void NTAPI DRIVER_CANCEL(PDEVICE_OBJECT DeviceObject, struct _IRP* Irp);
typedef DRIVER_CANCEL* PDRIVER_CANCEL;

// Stack location Control bits.
#define SL_PENDING_RETURNED 0x01
#define SL_ERROR_RETURNED 0x02
#define SL_INVOKE_ON_CANCEL 0x20
#define SL_INVOKE_ON_SUCCESS 0x40
#define SL_INVOKE_ON_ERROR 0x80

#ifndef CTL_CODE
#define CTL_CODE(DeviceType, Function, Method, Access) \
    (((DeviceType) << 16) | ((Access) << 14) | ((Function) << 2) | (Method))
#endif
#ifndef METHOD_NEITHER
#define METHOD_BUFFERED 0
#define METHOD_NEITHER 3
#endif
#ifndef METHOD_IN_DIRECT
#define METHOD_IN_DIRECT 1
#define METHOD_OUT_DIRECT 2
#endif
#ifndef FILE_ANY_ACCESS
#define FILE_ANY_ACCESS 0
#endif

typedef struct _IO_STACK_LOCATION {
    UCHAR MajorFunction;
    UCHAR MinorFunction;
    UCHAR Flags;
    UCHAR Control;
    // The platform aligns the device-control words to pointers so that IoControlCode shares
    // its place with Argument3 and Type3InputBuffer with Argument4 on every word size.
    union {
        struct {
            ULONG OutputBufferLength;
            alignas(sizeof(void*)) ULONG InputBufferLength;
            alignas(sizeof(void*)) ULONG IoControlCode;
            PVOID Type3InputBuffer;
        } DeviceIoControl;
        struct {
            PVOID Argument1;
            PVOID Argument2;
            PVOID Argument3;
            PVOID Argument4;
        } Others;
    } Parameters;
    PDEVICE_OBJECT DeviceObject;
    PVOID FileObject;
    PIO_COMPLETION_ROUTINE CompletionRoutine;
    PVOID Context;
} IO_STACK_LOCATION, *PIO_STACK_LOCATION;

static_assert(offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.IoControlCode) ==
              offsetof(IO_STACK_LOCATION, Parameters.Others.Argument3));
static_assert(offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.Type3InputBuffer) ==
              offsetof(IO_STACK_LOCATION, Parameters.Others.Argument4));
static_assert(sizeof(void*) != 4 || sizeof(IO_STACK_LOCATION) == 36, "32-bit stack location");

// IRP AllocationFlags (host bookkeeping with the platform's meaning).
#define IRP_ALLOCATED_FIXED_SIZE 0x04
#define IRP_BUILT_BY_IO_MANAGER 0x80  // freed by the I/O manager on completion

// Field for field the platform's record, so that a driver image's inline helpers find the
// stack location, the cancel routine and the status where the host keeps them. Parts the host
// never uses are kept as opaque words of the platform's sizes.
typedef struct _IRP {
    CSHORT Type;
    USHORT Size;
    PVOID MdlAddress;
    ULONG Flags;
    union {
        struct _IRP* MasterIrp;
        LONG IrpCount;
        PVOID SystemBuffer;
    } AssociatedIrp;
    LIST_ENTRY ThreadListEntry;
    IO_STATUS_BLOCK IoStatus;
    KPROCESSOR_MODE RequestorMode;
    BOOLEAN PendingReturned;
    CCHAR StackCount;
    CCHAR CurrentLocation;  // StackCount + 1 while the IRP is with its owner
    BOOLEAN Cancel;         // set by IoCancelIrp
    KIRQL CancelIrql;
    CCHAR ApcEnvironment;
    UCHAR AllocationFlags;
    PIO_STATUS_BLOCK UserIosb;
    PKEVENT UserEvent;
    union {
        struct {
            PIO_APC_ROUTINE UserApcRoutine;
            PVOID UserApcContext;
        } AsynchronousParameters;
        LARGE_INTEGER AllocationSize;
    } Overlay;
    PDRIVER_CANCEL CancelRoutine;  // changed only with IoSetCancelRoutine
    PVOID UserBuffer;
    union {
        struct {
            PVOID DriverContext[4];  // shares its place with a device queue entry
            PETHREAD Thread;
            PCHAR AuxiliaryBuffer;
            LIST_ENTRY ListEntry;
            union {
                PIO_STACK_LOCATION CurrentStackLocation;
                ULONG PacketType;
            };
            PVOID OriginalFileObject;
        } Overlay;
        PVOID Apc[12];  // a KAPC: 48 bytes on 32-bit x86
        PVOID CompletionKey;
    } Tail;
} IRP, *PIRP;
static_assert(sizeof(void*) != 4 || sizeof(IRP) == 112, "32-bit IRP");

#define IO_TYPE_IRP 6

inline USHORT IoSizeOfIrp(CCHAR StackSize) {
    return (USHORT)(sizeof(IRP) + (USHORT)StackSize * sizeof(IO_STACK_LOCATION));
}

inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP Irp) {
    return Irp->Tail.Overlay.CurrentStackLocation;
}
inline PIO_STACK_LOCATION IoGetNextIrpStackLocation(PIRP Irp) {
    return Irp->Tail.Overlay.CurrentStackLocation - 1;
}
inline void IoSetNextIrpStackLocation(PIRP Irp) {
    Irp->CurrentLocation--;
    Irp->Tail.Overlay.CurrentStackLocation--;
}
inline void IoSkipCurrentIrpStackLocation(PIRP Irp) {
    Irp->CurrentLocation++;
    Irp->Tail.Overlay.CurrentStackLocation++;
}
inline void IoCopyCurrentIrpStackLocationToNext(PIRP Irp) {
    PIO_STACK_LOCATION current = IoGetCurrentIrpStackLocation(Irp);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(Irp);
    RtlCopyMemory(next, current, offsetof(IO_STACK_LOCATION, CompletionRoutine));
    next->Control = 0;
}
inline void IoMarkIrpPending(PIRP Irp) {
    IoGetCurrentIrpStackLocation(Irp)->Control |= SL_PENDING_RETURNED;
}
inline void IoSetCompletionRoutine(PIRP Irp, PIO_COMPLETION_ROUTINE CompletionRoutine,
                                   PVOID Context, BOOLEAN InvokeOnSuccess,
                                   BOOLEAN InvokeOnError, BOOLEAN InvokeOnCancel) {
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(Irp);
    next->CompletionRoutine = CompletionRoutine;
    next->Context = Context;
    next->Control = 0;
    if (InvokeOnSuccess) next->Control = SL_INVOKE_ON_SUCCESS;
    if (InvokeOnError) next->Control |= SL_INVOKE_ON_ERROR;
    if (InvokeOnCancel) next->Control |= SL_INVOKE_ON_CANCEL;
}

// Allocates an IRP with StackSize locations from non-paged pool (null on failure).
PIRP NTAPI IoAllocateIrp(CCHAR StackSize, BOOLEAN ChargeQuota);
void NTAPI IoFreeIrp(PIRP Irp);
void NTAPI IoInitializeIrp(PIRP Irp, USHORT PacketSize, CCHAR StackSize);
// Makes a completed IRP ready for another IoCallDriver: status set, stack rewound.
void NTAPI IoReuseIrp(PIRP Irp, NTSTATUS Status);

// Passes the IRP to DeviceObject's driver through the next stack location; returns what the
// dispatch routine returns. Callable at IRQL <= DISPATCH_LEVEL.
NTSTATUS FASTCALL IofCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp);
#define IoCallDriver(DeviceObject, Irp) IofCallDriver((DeviceObject), (Irp))

// Runs the completion routines (see above). Callable at IRQL <= DISPATCH_LEVEL.
void FASTCALL IofCompleteRequest(PIRP Irp, CCHAR PriorityBoost);
#define IoCompleteRequest(Irp, PriorityBoost) IofCompleteRequest((Irp), (PriorityBoost))

// Builds an IRP for an (internal) device-control request; with METHOD_NEITHER codes the input
// buffer goes to Type3InputBuffer and the output buffer to UserBuffer. Null when the IRP
// cannot be allocated. PASSIVE_LEVEL only.
PIRP NTAPI IoBuildDeviceIoControlRequest(ULONG IoControlCode, PDEVICE_OBJECT DeviceObject,
                                         PVOID InputBuffer, ULONG InputBufferLength,
                                         PVOID OutputBuffer, ULONG OutputBufferLength,
                                         BOOLEAN InternalDeviceIoControl, PKEVENT Event,
                                         PIO_STATUS_BLOCK IoStatusBlock);

// Cancellation: IoCancelIrp sets Irp->Cancel and calls the cancel routine, if one is set, with
// the cancel spin lock held (the routine releases it with IoReleaseCancelSpinLock(Irp->CancelIrql)).
// Returns TRUE if a cancel routine was called.
BOOLEAN NTAPI IoCancelIrp(PIRP Irp);
PDRIVER_CANCEL IoSetCancelRoutine(PIRP Irp, PDRIVER_CANCEL CancelRoutine);
void NTAPI IoAcquireCancelSpinLock(PKIRQL Irql);
void NTAPI IoReleaseCancelSpinLock(KIRQL Irql);

#endif  // VEXACAM_WIN32_KERNEL
