#include "usb/usb_configuration.h"

#include "driver/device_context.h"
#include "platform/kernel.h"
#include "usb/pool_tags.h"
#include "usb/usb_requests.h"

namespace {

constexpr ULONG kConfigHeaderRequestBytes = 25;  // enough for the header and one interface
constexpr ULONG kConfigSlackBytes = 16;          // asked for beyond wTotalLength
constexpr ULONG kMinimumEndpoints = 2;           // CommandBlock OUT and video IN
constexpr ULONG kStatusPipeEndpoints = 3;        // ... and the StatusBlock IN
constexpr ULONG kCommandPipeMaxTransfer = 128;
constexpr ULONG kVideoPipeMaxTransfer = 0x200000;
constexpr ULONG kStatusPipeMaxTransfer = 128;
constexpr USHORT kDescriptorUrbLength = sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST);

// What the bring-up holds while it talks to the device; all of it is freed at the end.
struct BringUpBuffers {
    PUSB_DEVICE_DESCRIPTOR DeviceDescriptor;
    PURB DescriptorUrb;
    PUSB_CONFIGURATION_DESCRIPTOR Configuration;
    ULONG ConfigurationReceived;  // bytes the device actually returned
};

PVOID AllocateZeroed(ULONG Bytes, ULONG Tag) {
    PVOID Block = ExAllocatePoolWithTag(NonPagedPool, Bytes, Tag);
    if (Block != nullptr) RtlZeroMemory(Block, Bytes);
    return Block;
}

VOID FreeIfSet(PVOID Block) {
    if (Block != nullptr) ExFreePool(Block);
}

VOID FreeBringUpBuffers(BringUpBuffers* Buffers) {
    FreeIfSet(Buffers->Configuration);
    FreeIfSet(Buffers->DescriptorUrb);
    FreeIfSet(Buffers->DeviceDescriptor);
}

// A request that the stack accepted but whose URB reports an error has failed too.
NTSTATUS UrbOutcome(NTSTATUS Submitted, PURB Urb) {
    if (!NT_SUCCESS(Submitted)) return Submitted;
    return USBD_ERROR(Urb->UrbHeader.Status) ? STATUS_UNSUCCESSFUL : STATUS_SUCCESS;
}

// Reads descriptor Type (index 0, language 0) into Buffer; *Received gets the byte count.
NTSTATUS RequestDescriptor(DeviceContext* Device, PURB Urb, UCHAR Type, PVOID Buffer, ULONG Length,
                           PULONG Received) {
    RtlZeroMemory(Urb, kDescriptorUrbLength);
    UsbBuildGetDescriptorRequest(Urb, kDescriptorUrbLength, Type, 0, 0, Buffer, nullptr, Length,
                                 nullptr);
    NTSTATUS Status = UrbOutcome(SubmitUrbSync(Device, Urb), Urb);
    ULONG Count = Urb->UrbControlDescriptorRequest.TransferBufferLength;
    *Received = Count < Length ? Count : Length;
    return Status;
}

BOOLEAN HasConfigurationHeader(PUSB_CONFIGURATION_DESCRIPTOR Header, ULONG Received) {
    return Received >= sizeof(USB_CONFIGURATION_DESCRIPTOR) &&
           Header->bDescriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE &&
           Header->wTotalLength >= sizeof(USB_CONFIGURATION_DESCRIPTOR);
}

// Reads the configuration header for wTotalLength, then the whole configuration with a little
// room to spare.
NTSTATUS ReadConfiguration(DeviceContext* Device, BringUpBuffers* Buffers) {
    auto* Header = static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(
        AllocateZeroed(kConfigHeaderRequestBytes, kTagConfigHeader));
    if (Header == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    ULONG Received = 0;
    NTSTATUS Status =
        RequestDescriptor(Device, Buffers->DescriptorUrb, USB_CONFIGURATION_DESCRIPTOR_TYPE, Header,
                          kConfigHeaderRequestBytes, &Received);
    if (NT_SUCCESS(Status) && !HasConfigurationHeader(Header, Received)) {
        Status = STATUS_DEVICE_DATA_ERROR;
    }
    ULONG Length = Header->wTotalLength + kConfigSlackBytes;
    ExFreePool(Header);
    if (!NT_SUCCESS(Status)) return Status;

    Buffers->Configuration =
        static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(AllocateZeroed(Length, kTagConfigDescriptor));
    if (Buffers->Configuration == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    return RequestDescriptor(Device, Buffers->DescriptorUrb, USB_CONFIGURATION_DESCRIPTOR_TYPE,
                             Buffers->Configuration, Length, &Buffers->ConfigurationReceived);
}

// The smallest length a descriptor of Type may have and still be read field by field.
ULONG MinimumDescriptorLength(UCHAR Type) {
    switch (Type) {
        case USB_CONFIGURATION_DESCRIPTOR_TYPE:
            return sizeof(USB_CONFIGURATION_DESCRIPTOR);
        case USB_INTERFACE_DESCRIPTOR_TYPE:
            return sizeof(USB_INTERFACE_DESCRIPTOR);
        case USB_ENDPOINT_DESCRIPTOR_TYPE:
            return sizeof(USB_ENDPOINT_DESCRIPTOR);
        default:
            return sizeof(USB_COMMON_DESCRIPTOR);
    }
}

// Every descriptor within wTotalLength is whole, and wTotalLength lies within what was read.
BOOLEAN IsWholeConfiguration(PUSB_CONFIGURATION_DESCRIPTOR Configuration, ULONG Received) {
    if (!HasConfigurationHeader(Configuration, Received)) return FALSE;
    ULONG Total = Configuration->wTotalLength;
    if (Total > Received) return FALSE;
    const UCHAR* Bytes = reinterpret_cast<const UCHAR*>(Configuration);
    for (ULONG Offset = 0; Offset < Total;) {
        if (Total - Offset < sizeof(USB_COMMON_DESCRIPTOR)) return FALSE;
        auto* Common = reinterpret_cast<const USB_COMMON_DESCRIPTOR*>(Bytes + Offset);
        if (Common->bLength < MinimumDescriptorLength(Common->bDescriptorType) ||
            Common->bLength > Total - Offset) {
            return FALSE;
        }
        Offset += Common->bLength;
    }
    return TRUE;
}

// Endpoint descriptors between Interface and the next interface descriptor (or the end).
ULONG CountEndpointsAfter(PUSB_CONFIGURATION_DESCRIPTOR Configuration,
                          PUSB_INTERFACE_DESCRIPTOR Interface) {
    const UCHAR* End = reinterpret_cast<const UCHAR*>(Configuration) + Configuration->wTotalLength;
    const UCHAR* Next = reinterpret_cast<const UCHAR*>(Interface) + Interface->bLength;
    ULONG Count = 0;
    while (Next < End) {
        auto* Common = reinterpret_cast<const USB_COMMON_DESCRIPTOR*>(Next);
        if (Common->bDescriptorType == USB_INTERFACE_DESCRIPTOR_TYPE) break;
        if (Common->bDescriptorType == USB_ENDPOINT_DESCRIPTOR_TYPE) ++Count;
        Next += Common->bLength;
    }
    return Count;
}

// Builds, adjusts and submits the select-configuration request for Interface, then records
// the pipe handles.
NTSTATUS SelectInterface(DeviceContext* Device, PUSB_CONFIGURATION_DESCRIPTOR Configuration,
                         PUSB_INTERFACE_DESCRIPTOR Interface) {
    USBD_INTERFACE_LIST_ENTRY List[2] = {{Interface, nullptr}, {nullptr, nullptr}};
    PURB Select = USBD_CreateConfigurationRequestEx(Configuration, List);
    if (Select == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    PUSBD_INTERFACE_INFORMATION Info = List[0].Interface;
    if (Info == nullptr || Info->NumberOfPipes < kMinimumEndpoints) {
        ExFreePool(Select);
        return STATUS_DEVICE_DATA_ERROR;
    }
    Info->Pipes[kCommandPipe].MaximumTransferSize = kCommandPipeMaxTransfer;
    Info->Pipes[kVideoPipe].MaximumTransferSize = kVideoPipeMaxTransfer;
    if (Info->NumberOfPipes == kStatusPipeEndpoints) {
        Info->Pipes[kStatusPipe].MaximumTransferSize = kStatusPipeMaxTransfer;
    }

    NTSTATUS Status = UrbOutcome(SubmitUrbSync(Device, Select), Select);
    if (NT_SUCCESS(Status) && (Info->Pipes[kCommandPipe].PipeHandle == nullptr ||
                               Info->Pipes[kVideoPipe].PipeHandle == nullptr)) {
        Status = STATUS_DEVICE_DATA_ERROR;
    }
    if (NT_SUCCESS(Status)) {
        Device->PipeHandles[kCommandPipe] = Info->Pipes[kCommandPipe].PipeHandle;
        Device->PipeHandles[kVideoPipe] = Info->Pipes[kVideoPipe].PipeHandle;
        Device->PipeHandles[kStatusPipe] = Info->NumberOfPipes == kStatusPipeEndpoints
                                               ? Info->Pipes[kStatusPipe].PipeHandle
                                               : nullptr;
    }
    ExFreePool(Select);
    return Status;
}

NTSTATUS ConfigureWithBuffers(DeviceContext* Device, BringUpBuffers* Buffers) {
    Buffers->DescriptorUrb =
        static_cast<PURB>(AllocateZeroed(kDescriptorUrbLength, kTagDescriptorUrb));
    if (Buffers->DescriptorUrb == nullptr) return STATUS_INSUFFICIENT_RESOURCES;

    // The device descriptor is read as the device expects, and not used further.
    ULONG Received = 0;
    NTSTATUS Status =
        RequestDescriptor(Device, Buffers->DescriptorUrb, USB_DEVICE_DESCRIPTOR_TYPE,
                          Buffers->DeviceDescriptor, sizeof(USB_DEVICE_DESCRIPTOR), &Received);
    if (!NT_SUCCESS(Status)) return Status;

    Status = ReadConfiguration(Device, Buffers);
    if (!NT_SUCCESS(Status)) return Status;
    PUSB_INTERFACE_DESCRIPTOR Interface =
        FindUsableInterface(Buffers->Configuration, Buffers->ConfigurationReceived);
    if (Interface == nullptr) return STATUS_DEVICE_DATA_ERROR;
    return SelectInterface(Device, Buffers->Configuration, Interface);
}

}  // namespace

PUSB_INTERFACE_DESCRIPTOR FindUsableInterface(PUSB_CONFIGURATION_DESCRIPTOR Configuration,
                                              ULONG Received) {
    if (!IsWholeConfiguration(Configuration, Received)) return nullptr;
    // The first interface, whatever its number, setting, class, subclass and protocol.
    PUSB_INTERFACE_DESCRIPTOR Interface =
        USBD_ParseConfigurationDescriptorEx(Configuration, Configuration, -1, -1, -1, -1, -1);
    if (Interface == nullptr || Interface->bNumEndpoints < kMinimumEndpoints) return nullptr;
    if (CountEndpointsAfter(Configuration, Interface) < Interface->bNumEndpoints) return nullptr;
    return Interface;
}

// Part of InitializeCamera (SRB_INITIALIZE_DEVICE), PASSIVE_LEVEL.
NTSTATUS ConfigureCameraInterface(DeviceContext* Device) {
    BringUpBuffers Buffers = {};
    Buffers.DeviceDescriptor = static_cast<PUSB_DEVICE_DESCRIPTOR>(
        AllocateZeroed(sizeof(USB_DEVICE_DESCRIPTOR), kTagDeviceDescriptor));
    if (Buffers.DeviceDescriptor == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    NTSTATUS Status = ConfigureWithBuffers(Device, &Buffers);
    FreeBringUpBuffers(&Buffers);
    return Status;
}
