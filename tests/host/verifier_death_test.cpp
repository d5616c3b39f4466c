// Every verifier check stops the process with a message naming the fault.
#include <functional>
#include <thread>

#include "host/kernel/clock.h"
#include "host/verifier/verifier.h"
#include "kernel_fixture.h"
#include "kernel_threads.h"
#include "platform/kernel.h"

namespace host_test {
namespace {

struct Fault {
    const char* name;
    std::function<void()> commit;
    const char* message;  // regular expression over stderr
};

void AtDispatch(const std::function<void()>& body) {
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    body();
    KeLowerIrql(old);
}

void WaitAtDispatch() {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    AtDispatch([&] { KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr); });
}

void ReleaseLockHeldByAnotherThread() {
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    std::thread([&] {
        KIRQL old;
        KeAcquireSpinLock(&lock, &old);  // this thread ends holding it
    }).join();
    KeReleaseSpinLock(&lock, PASSIVE_LEVEL);
}

void LowerIrqlWhileHoldingALock() {
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    KIRQL old;
    KeAcquireSpinLock(&lock, &old);
    KeLowerIrql(PASSIVE_LEVEL);
}

void NTAPI LeaveSpinLockHeldByDpc(PKDPC, PVOID context, PVOID, PVOID) {
    KeAcquireSpinLockAtDpcLevel(static_cast<PKSPIN_LOCK>(context));
}

void DpcReturnsHoldingALock() {
    static KSPIN_LOCK lock;
    static KDPC dpc;
    KeInitializeSpinLock(&lock);
    KeInitializeDpc(&dpc, LeaveSpinLockHeldByDpc, &lock);
    KeInsertQueueDpc(&dpc, nullptr, nullptr);
    host::RunUntilIdle();
}

void FreePoolHoldingASetTimer() {
    auto* timer = static_cast<PKTIMER>(ExAllocatePoolWithTag(NonPagedPool, sizeof(KTIMER), 1));
    KeInitializeTimer(timer);
    LARGE_INTEGER due = Relative(host::kSecond);
    KeSetTimer(timer, due, nullptr);
    ExFreePool(timer);
}

void NTAPI BlockTheWorker(PDEVICE_OBJECT, PVOID context) {
    KeWaitForSingleObject(context, Executive, KernelMode, FALSE, nullptr);
}
void NTAPI Nothing(PDEVICE_OBJECT, PVOID) {}

void QueueAQueuedWorkItem() {
    static DEVICE_OBJECT device;
    static KEVENT never;
    KeInitializeEvent(&never, NotificationEvent, FALSE);
    IoQueueWorkItem(IoAllocateWorkItem(&device), BlockTheWorker, DelayedWorkQueue, &never);
    host::RunUntilIdle();  // the single delayed worker is now blocked
    PIO_WORKITEM item = IoAllocateWorkItem(&device);
    IoQueueWorkItem(item, Nothing, DelayedWorkQueue, nullptr);
    IoQueueWorkItem(item, Nothing, DelayedWorkQueue, nullptr);
}

void LeakAtUnload() {
    ExAllocatePoolWithTag(NonPagedPool, 16, 0x6B4C7856);  // "VxLk"
    host::VerifierCheckNoLeaks("driver unload");
}

void CompleteTwice() {
    int srb = 0;
    host::VerifierRequestStarted(&srb);
    host::VerifierRequestCompleted(&srb, "StreamClassStreamNotification");
    host::VerifierRequestCompleted(&srb, "StreamClassStreamNotification");
}

void TouchCompleted() {
    int srb = 0;
    host::VerifierRequestStarted(&srb);
    host::VerifierRequestCompleted(&srb, "StreamClassStreamNotification");
    host::VerifierCheckRequestLive(&srb, "ReadyForNextStreamDataRequest");
}

void ReleaseSemaphorePastLimit() {
    KSEMAPHORE semaphore;
    KeInitializeSemaphore(&semaphore, 1, 1);
    KeReleaseSemaphore(&semaphore, SEMAPHORE_INCREMENT, 1, FALSE);
}

void WaitForFourWithoutWaitBlocks() {
    KEVENT events[4];
    PVOID objects[4];
    for (int i = 0; i < 4; ++i) {
        KeInitializeEvent(&events[i], NotificationEvent, TRUE);
        objects[i] = &events[i];
    }
    KeWaitForMultipleObjects(4, objects, WaitAll, Executive, KernelMode, FALSE, nullptr, nullptr);
}

void FreeTwice() {
    PVOID block = ExAllocatePool(NonPagedPool, 8);
    ExFreePool(block);
    ExFreePool(block);
}

const Fault kFaults[] = {
    {"WaitAtDispatchLevel", WaitAtDispatch,
     "vexacam verifier: KeWaitForSingleObject waits at IRQL 2"},
    {"RegistryCallAtDispatchLevel",
     [] { AtDispatch([] { host::VerifyPassiveLevel("ZwOpenKey"); }); },
     "vexacam verifier: ZwOpenKey called at IRQL 2 \\(PASSIVE_LEVEL only\\)"},
    {"UsbCallAtDispatchLevel",
     [] { AtDispatch([] { host::VerifyPassiveLevel("SendCommandBlock"); }); },
     "SendCommandBlock called at IRQL 2"},
    {"DelayAtDispatchLevel",
     [] {
         AtDispatch([] {
             LARGE_INTEGER interval = Relative(1);
             KeDelayExecutionThread(KernelMode, FALSE, &interval);
         });
     },
     "KeDelayExecutionThread waits at IRQL 2"},
    {"RequestCompletedTwice", CompleteTwice, "request 0x[0-9a-f]+ completed twice"},
    {"RequestTouchedAfterCompletion", TouchCompleted,
     "ReadyForNextStreamDataRequest: request 0x[0-9a-f]+ touched after its completion"},
    {"PoolLeakedAtUnload", LeakAtUnload,
     "vexacam verifier: pool leaked at driver unload: 'VxLk' 16 bytes x1"},
    {"SpinLockReleasedButNotHeld",
     [] {
         KSPIN_LOCK lock;
         KeInitializeSpinLock(&lock);
         KeReleaseSpinLock(&lock, PASSIVE_LEVEL);
     },
     "KeReleaseSpinLock of a spin lock that is not held"},
    {"SpinLockReleasedByAnotherThread", ReleaseLockHeldByAnotherThread,
     "KeReleaseSpinLock of a spin lock held by another thread"},
    {"SpinLockAcquiredTwice",
     [] {
         KSPIN_LOCK lock;
         KeInitializeSpinLock(&lock);
         KIRQL a, b;
         KeAcquireSpinLock(&lock, &a);
         KeAcquireSpinLock(&lock, &b);
     },
     "spin lock this thread already holds"},
    {"DpcLevelAcquireAtPassive",
     [] {
         KSPIN_LOCK lock;
         KeInitializeSpinLock(&lock);
         KeAcquireSpinLockAtDpcLevel(&lock);
     },
     "KeAcquireSpinLockAtDpcLevel at IRQL 0, below DISPATCH_LEVEL"},
    {"IrqlLoweredAboveCurrent", [] { KeLowerIrql(DISPATCH_LEVEL); },
     "KeLowerIrql to IRQL 2 from the lower IRQL 0"},
    {"IrqlRaisedBelowCurrent",
     [] {
         AtDispatch([] {
             KIRQL old;
             KeRaiseIrql(PASSIVE_LEVEL, &old);
         });
     },
     "KeRaiseIrql to IRQL 0 from the higher IRQL 2"},
    {"IrqlLoweredWhileHoldingSpinLock", LowerIrqlWhileHoldingALock,
     "IRQL lowered to 0 while holding 1 spin lock"},
    {"DpcReturnsHoldingSpinLock", DpcReturnsHoldingALock,
     "IRQL lowered to 0 while holding 1 spin lock"},
    {"PoolFreedTwice", FreeTwice, "ExFreePool of 0x[0-9a-f]+, which is not an allocated pool block"},
    {"PoolFreedWithWrongTag",
     [] { ExFreePoolWithTag(ExAllocatePoolWithTag(NonPagedPool, 8, 0x41414141), 0x42424242); },
     "ExFreePoolWithTag of a 'AAAA' block with tag 'BBBB'"},
    {"PoolFreedHoldingSetTimer", FreePoolHoldingASetTimer,
     "freeing pool that holds a timer still set"},
    {"PagedPoolAtDispatchLevel",
     [] { AtDispatch([] { ExAllocatePoolWithTag(PagedPool, 8, 1); }); },
     "paged pool used at IRQL 2"},
    {"SemaphoreReleasedPastLimit", ReleaseSemaphorePastLimit,
     "KeReleaseSemaphore by 1 past the limit 1"},
    {"TooManyObjectsWithoutWaitBlocks", WaitForFourWithoutWaitBlocks,
     "KeWaitForMultipleObjects with 4 objects and no wait block array"},
    {"WorkItemQueuedTwice", QueueAQueuedWorkItem,
     "IoQueueWorkItem of a work item already queued"},
    {"HandleClosedTwice",
     [] {
         HANDLE thread = StartThread([] {});
         JoinThread(thread);
         ZwClose(thread);
     },
     "ZwClose of handle 0x[0-9a-f]+, which is not open"},
    {"ResetWithThreadRunning",
     [] {
         static KEVENT never;
         KeInitializeEvent(&never, NotificationEvent, FALSE);
         StartThread([] { KeWaitForSingleObject(&never, Executive, KernelMode, FALSE, nullptr); });
         host::RunUntilIdle();
         host::ResetHost();
     },
     "host reset with 1 system thread\\(s\\) still running"},
    {"FloatingPointRestoredWithoutASave",
     [] {
         KFLOATING_SAVE never{};
         KeRestoreFloatingPointState(&never);
     },
     "KeRestoreFloatingPointState of a state that was not saved"},
    {"ExtendedStateRestoredWithoutASave",
     [] {
         XSTATE_SAVE never{};
         KeRestoreExtendedProcessorState(&never);
     },
     "KeRestoreExtendedProcessorState of a state that was not saved"},
};

class VerifierDeathTest : public KernelTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(VerifierDeathTest, StopsTheProcessNamingTheFault) {
    EXPECT_DEATH(GetParam().commit(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Checks, VerifierDeathTest, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<Fault>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace host_test
