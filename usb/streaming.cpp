// StartStreaming and StopStreaming.
#include "usb/streaming.h"

#include "usb/frame_building.h"
#include "usb/streaming_pipes.h"
#include "usb/trace.h"

// Frame assembly and the engine's kernel objects start afresh: no transfer or reader thread
// exists at this point.
static void ResetEngineState(DeviceContext* Device) {
    ResetFrameAssembly(Device);
    InterlockedExchange(&Device->ResetRequest, 0);
    // A reader thread that woke on the semaphore to leave took a unit with it and left
    // StopEvent set; both start full and clear again.
    KeInitializeSemaphore(&Device->FreeSlotSemaphore, kTransferSlotCount, kTransferSlotCount);
    KeClearEvent(&Device->StopEvent);
}

// The thread could not be held on to, so the stop could never wait for it: it is told to
// leave and waited for through its handle now.
static void EndUnheldReaderThread(DeviceContext* Device, StreamContext* Stream, HANDLE Thread) {
    WriteOnce(Stream->State, KSSTATE_STOP);
    KeSetEvent(&Device->StopEvent, IO_NO_INCREMENT, FALSE);
    ZwWaitForSingleObject(Thread, FALSE, nullptr);
}

NTSTATUS StartStreaming(DeviceContext* Device) {
    StreamContext* stream = ReadOnce(Device->Stream);
    if (stream == nullptr) return STATUS_UNSUCCESSFUL;
    // Pause after acquire while the engine still runs: one reader thread is enough.
    if (Device->ReaderThread != nullptr) return STATUS_SUCCESS;
    NTSTATUS status = AbortAndResetPipe(Device, kCommandPipe);
    if (NT_SUCCESS(status)) status = AbortAndResetPipe(Device, kVideoPipe);
    if (!NT_SUCCESS(status)) return status;
    ResetEngineState(Device);
    HANDLE thread;
    status = PsCreateSystemThread(&thread, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr,
                                  ReaderThread, Device);
    if (!NT_SUCCESS(status)) return status;
    PVOID object = nullptr;
    status = ObReferenceObjectByHandle(thread, THREAD_ALL_ACCESS, nullptr, KernelMode, &object,
                                       nullptr);
    if (!NT_SUCCESS(status)) {
        EndUnheldReaderThread(Device, stream, thread);
    } else {
        Device->ReaderThread = static_cast<PKTHREAD>(object);
    }
    ZwClose(thread);
    return status;
}

static void StopReaderThread(DeviceContext* Device, StreamContext* Stream) {
    PKTHREAD thread = Device->ReaderThread;
    if (thread == nullptr) return;
    WriteOnce(Stream->State, KSSTATE_STOP);
    KeSetEvent(&Device->StopEvent, IO_NO_INCREMENT, FALSE);
    KeWaitForSingleObject(thread, Executive, KernelMode, FALSE, nullptr);
    ObDereferenceObject(thread);
    Device->ReaderThread = nullptr;
}

void StopStreaming(DeviceContext* Device) {
    StreamContext* stream = ReadOnce(Device->Stream);
    if (stream == nullptr) return;
    StopReaderThread(Device, stream);
    // A pipe that cannot be reset now is reset again at the next start, which fails if it
    // still cannot be: the stop itself goes on.
    const NTSTATUS commandPipe = AbortAndResetPipe(Device, kCommandPipe);
    const NTSTATUS videoPipe = AbortAndResetPipe(Device, kVideoPipe);
    if (!NT_SUCCESS(commandPipe) || !NT_SUCCESS(videoPipe)) {
        TRACE_EVENT("stop: pipe reset failed (command %08X, video %08X)",
                    TraceStatus(commandPipe), TraceStatus(videoPipe));
    }
    for (ULONG i = 0; i < kTransferSlotCount; ++i) {
        InterlockedExchange(&Device->TransferSlots[i].Busy, 0);
    }
}
