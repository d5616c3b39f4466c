// A small stream-class minidriver of the test's own, so the framework is tested without the
// real driver: it records what it is sent, completes adapter and control requests at once,
// queues reads until the test completes them, and restarts time-outs like the real one.
#pragma once

#include <mutex>
#include <vector>

#include "platform/strmini.h"

namespace framework_test {

// {5B4F2F6A-1B6E-4C1A-9C3D-0A1B2C3D4E5F}
inline constexpr GUID kFakeSet = {
    0x5B4F2F6A, 0x1B6E, 0x4C1A, {0x9C, 0x3D, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F}};
// Items of kFakeSet (device and stream): id 0 get only, id 1 set only, id 2 get and set with
// MinProperty 40 and MinData 40.
constexpr ULONG kGetOnlyId = 0;
constexpr ULONG kSetOnlyId = 1;
constexpr ULONG kWideId = 2;
constexpr ULONG kWideSize = 40;

struct SeenProperty {
    SRB_COMMAND Command;
    ULONG SetIndex;
    ULONG Id;
    ULONG Flags;
    ULONG InputSize;
    ULONG OutputSize;
};

struct FakeState {
    std::mutex Lock;
    std::vector<SRB_COMMAND> AdapterCommands;
    PDEVICE_OBJECT PhysicalDevice = nullptr;
    ULONG StreamInfoBufferSeen = 0;  // StreamDescriptorSize at SRB_GET_STREAM_INFO
    std::vector<SeenProperty> Properties;
    std::vector<PHW_STREAM_REQUEST_BLOCK> QueuedReads;
    int Cancels = 0;
    int Timeouts = 0;
    NTSTATUS InitializeStatus = STATUS_SUCCESS;
};

FakeState& Fake();
void ResetFake();

NTSTATUS NTAPI FakeDriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);

// Completes the oldest queued read with the given fields; false when none is queued.
bool CompleteOldestRead(NTSTATUS status, ULONG dataUsed, LONGLONG pictureNumber);
// Completes a request a second time (for the double-completion check).
void STREAMAPI CompleteAgain(PHW_STREAM_REQUEST_BLOCK srb);
// Controls how the fake's next SRB_CLOSE_STREAM treats queued reads.
void LeaveReadsAtClose(bool leave);
// Makes the next adapter request complete through the stream notification.
void CompleteNextAdapterRequestAsStream();

}  // namespace framework_test
