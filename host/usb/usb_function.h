// The device side of the host USB stack: what a simulated USB device implements, and the
// calls it makes into the stack. The stack calls the device with its own lock held, so a
// device never calls back into the stack from inside these methods (it reports with a return
// value instead) and calls NotifyEndpointReady only while holding none of its own locks.
#pragma once

#include "platform/io.h"
#include "platform/usb.h"

namespace host::usb {

// The outcome of one bulk IN transfer as the device answers it.
struct InTransferResult {
    bool Ready = false;                     // false: the device has nothing yet (NAK)
    USBD_STATUS Status = USBD_STATUS_SUCCESS;
    ULONG Length = 0;                       // bytes placed in the buffer
};

class UsbFunction {
public:
    virtual ~UsbFunction() = default;

    // Copies up to `capacity` bytes of the descriptor (type, index) into `buffer` and returns
    // the number copied; 0 when the device has no such descriptor (the request then stalls).
    virtual ULONG GetDescriptor(UCHAR type, UCHAR index, UCHAR* buffer, ULONG capacity) = 0;
    // SET_CONFIGURATION with the configuration value (0 = unconfigured).
    virtual void SetConfiguration(UCHAR value) = 0;
    // Data the host sends on a bulk OUT endpoint. USBD_STATUS_DEVICE_GONE means the device has
    // dropped off the bus; any other halting status stalls the pipe. USBD_STATUS_PENDING means
    // the device does not take the data yet (it NAKs): the transfer waits, with those behind
    // it, until the device calls NotifyEndpointReady for the endpoint or it is cancelled.
    virtual USBD_STATUS BulkOut(UCHAR endpointAddress, const UCHAR* data, ULONG length) = 0;
    // One bulk IN transfer of `capacity` bytes on the endpoint. Same status rules as BulkOut.
    virtual InTransferResult BulkIn(UCHAR endpointAddress, UCHAR* buffer, ULONG capacity) = 0;
    // CLEAR_FEATURE(ENDPOINT_HALT) on the endpoint: the device flushes it.
    virtual void ResetEndpoint(UCHAR endpointAddress) = 0;
    // Port reset.
    virtual void ResetPort() = 0;
};

// Counters of what the stack did for a device, for tests.
struct UsbDeviceCounters {
    ULONG PortResets = 0;
    ULONG PortStatusQueries = 0;
    ULONG PipeAborts = 0;
    ULONG PipeResets = 0;
    ULONG SelectConfigurations = 0;
    ULONG TransfersCompleted = 0;
    ULONG TransfersFailed = 0;
    ULONG TransfersCancelled = 0;
};

// Creates the physical device object of a device attached to a port of the host's USB stack.
// The device must outlive the object. The object's StackSize is 1.
PDEVICE_OBJECT CreateSimulatedUsbDevice(UsbFunction* function);
// Unplugs (if still attached), completes whatever is still pending and frees the object.
void DestroySimulatedUsbDevice(PDEVICE_OBJECT pdo);
// The device leaves the bus: port status reports neither enabled nor connected, pending
// transfers fail with USBD_STATUS_DEVICE_GONE, later requests fail at once.
void UnplugSimulatedUsbDevice(PDEVICE_OBJECT pdo);
// The device has data for a bulk IN endpoint, or takes data again on a bulk OUT endpoint:
// pending transfers are served now.
void NotifyEndpointReady(PDEVICE_OBJECT pdo, UCHAR endpointAddress);
UsbDeviceCounters GetUsbDeviceCounters(PDEVICE_OBJECT pdo);
// While on, port resets of the device fail with STATUS_IO_DEVICE_ERROR (a hub that cannot
// reset its port), for tests of what a driver does when its recovery fails.
void FailPortResets(PDEVICE_OBJECT pdo, bool on);
// Transfers waiting for device data on the endpoint (for tests).
ULONG PendingTransferCount(PDEVICE_OBJECT pdo, UCHAR endpointAddress);

}  // namespace host::usb
