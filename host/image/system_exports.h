// Every routine the host exports to a loaded driver image, by the system module that exports
// it on the platform and under exactly the name that module exports. The loader binds an
// image's imports against these tables; the 32-bit build's tests compare each routine's calling
// convention and argument bytes with the platform's headers.
//
// VEXACAM_SYSTEM_EXPORT(Module, Routine): Module is Ntoskrnl, Hal, Usbd or Stream.
// The extended processor state save and its restore are exported only while the host offers
// them (host/kernel/processor_state.h), as by newer systems only.
#pragma once

#define VEXACAM_FOR_EACH_SYSTEM_EXPORT(VEXACAM_SYSTEM_EXPORT)    \
    VEXACAM_SYSTEM_EXPORT(Hal, KeGetCurrentIrql)                  \
    VEXACAM_SYSTEM_EXPORT(Hal, KeRaiseIrqlToDpcLevel)             \
    VEXACAM_SYSTEM_EXPORT(Hal, KfAcquireSpinLock)                 \
    VEXACAM_SYSTEM_EXPORT(Hal, KfLowerIrql)                       \
    VEXACAM_SYSTEM_EXPORT(Hal, KfRaiseIrql)                       \
    VEXACAM_SYSTEM_EXPORT(Hal, KfReleaseSpinLock)                 \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, DbgPrintEx)                   \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ExAllocatePool)               \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ExAllocatePoolWithTag)        \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ExFreePool)                   \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ExFreePoolWithTag)            \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IoAcquireCancelSpinLock)      \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IoAllocateIrp)                \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IoAllocateWorkItem)           \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IoBuildDeviceIoControlRequest) \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IoCancelIrp)                  \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IoFreeIrp)                    \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IoFreeWorkItem)               \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IoInitializeIrp)              \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IoQueueWorkItem)              \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IoReleaseCancelSpinLock)      \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IoReuseIrp)                   \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IofCallDriver)                \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, IofCompleteRequest)           \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeCancelTimer)                \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeClearEvent)                 \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeDelayExecutionThread)       \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeFlushQueuedDpcs)            \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeInitializeDpc)              \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeInitializeEvent)            \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeInitializeSemaphore)        \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeInitializeTimer)            \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeInsertQueueDpc)             \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeQueryInterruptTime)         \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeQuerySystemTime)            \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeReadStateEvent)             \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeReadStateSemaphore)         \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeReadStateTimer)             \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeReleaseSemaphore)           \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeRemoveQueueDpc)             \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeResetEvent)                 \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeRestoreExtendedProcessorState) \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeRestoreFloatingPointState)  \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeSaveExtendedProcessorState) \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeSaveFloatingPointState)     \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeSetEvent)                   \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeSetTimer)                   \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeWaitForMultipleObjects)     \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KeWaitForSingleObject)        \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KefAcquireSpinLockAtDpcLevel) \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, KefReleaseSpinLockFromDpcLevel) \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, MmGetSystemRoutineAddress)    \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ObReferenceObjectByHandle)    \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ObfDereferenceObject)         \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, PsCreateSystemThread)         \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, PsTerminateSystemThread)      \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, RtlCompareMemory)             \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, RtlInitUnicodeString)         \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ZwClose)                      \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ZwCreateFile)                 \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ZwCreateKey)                  \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ZwDeleteValueKey)             \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ZwFlushKey)                   \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ZwOpenKey)                    \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ZwQueryValueKey)              \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ZwReadFile)                   \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ZwSetInformationFile)         \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ZwSetValueKey)                \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ZwWaitForSingleObject)        \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, ZwWriteFile)                  \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, memcpy)                       \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, memmove)                      \
    VEXACAM_SYSTEM_EXPORT(Ntoskrnl, memset)                       \
    VEXACAM_SYSTEM_EXPORT(Stream, StreamClassDeviceNotification)  \
    VEXACAM_SYSTEM_EXPORT(Stream, StreamClassRegisterAdapter)     \
    VEXACAM_SYSTEM_EXPORT(Stream, StreamClassStreamNotification)  \
    VEXACAM_SYSTEM_EXPORT(Usbd, USBD_CreateConfigurationRequestEx) \
    VEXACAM_SYSTEM_EXPORT(Usbd, USBD_ParseConfigurationDescriptorEx)
