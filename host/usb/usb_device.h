// The host USB stack's record of one attached device and its pipes (stack-internal).
#pragma once

#include <deque>
#include <mutex>

#include "host/usb/usb_function.h"

namespace host::usb {

constexpr ULONG kMaxPipes = 16;

// One open endpoint of the selected configuration; its address is the USBD_PIPE_HANDLE.
struct Pipe {
    bool Open = false;
    bool Halted = false;  // a halting error stalled it; cleared by a pipe reset
    UCHAR EndpointAddress = 0;
    USBD_PIPE_TYPE PipeType = UsbdPipeTypeBulk;
    ULONG MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE;
    std::deque<PIRP> Waiting;   // transfers waiting for the device, oldest first
    std::deque<PIRP> Finished;  // requests whose result is set, completed in this order
    bool Completing = false;    // a thread is completing this pipe's requests
};

struct UsbDevice {
    DEVICE_OBJECT Pdo{};
    UsbFunction* Function = nullptr;
    std::mutex Lock;  // guards every field below and the device's pipes
    bool Connected = true;
    bool LostWhileServicing = false;  // the device vanished inside a pipe's service loop
    bool FailPortResets = false;      // a hub that cannot reset the port
    UCHAR ConfigurationValue = 0;
    Pipe Pipes[kMaxPipes];
    UsbDeviceCounters Counters;
};

UsbDevice* DeviceFromPdo(PDEVICE_OBJECT pdo);
// The open pipe behind a handle, or null (Lock held).
Pipe* FindOpenPipe(UsbDevice* device, USBD_PIPE_HANDLE handle);
NTSTATUS NtStatusFromUsbd(USBD_STATUS status);

// Sets the URB and IRP results and queues the IRP for in-order completion (Lock held).
void FinishOnPipe(UsbDevice* device, Pipe* pipe, PIRP irp, USBD_STATUS status);
// Fails every waiting transfer of the pipe with `status` (Lock held); then ServicePipe.
void FailWaitingOnPipe(UsbDevice* device, Pipe* pipe, USBD_STATUS status);
// Fails every waiting transfer of every pipe with `status` (Lock held); then ServiceAllPipes.
void FailWaitingTransfers(UsbDevice* device, USBD_STATUS status);
// Matches waiting IN transfers with device data and completes finished requests, one at a
// time in order, at DISPATCH_LEVEL. Called without Lock.
void ServicePipe(UsbDevice* device, Pipe* pipe);
void ServiceAllPipes(UsbDevice* device);
// Queues a transfer to wait for the device (Lock held).
void QueueWaitingTransfer(UsbDevice* device, Pipe* pipe, PIRP irp);

// URB handlers: each sets the URB status and either completes the IRP (returning its status)
// or leaves it pending on a pipe (returning STATUS_PENDING).
NTSTATUS HandleGetDescriptor(UsbDevice* device, PIRP irp, PURB urb);
NTSTATUS HandleSelectConfiguration(UsbDevice* device, PIRP irp, PURB urb);
NTSTATUS HandleBulkTransfer(UsbDevice* device, PIRP irp, PURB urb);
NTSTATUS HandlePipeRequest(UsbDevice* device, PIRP irp, PURB urb);
// Completes an IRP right away at DISPATCH_LEVEL with the URB status (if any) mapped.
NTSTATUS CompleteWithUsbdStatus(PIRP irp, PURB urb, USBD_STATUS status);

}  // namespace host::usb
