// The usbd library's configuration helpers: finding an interface descriptor and building the
// select-configuration URB (from non-paged pool, so failure injection applies).
#include "platform/kernel.h"
#include "platform/usb.h"

#include "host/verifier/verifier.h"

namespace {

constexpr ULONG kUsbdTag = 'U' | ('S' << 8) | ('B' << 16) | ('D' << 24);

bool Matches(LONG wanted, UCHAR actual) { return wanted == -1 || wanted == actual; }

}  // namespace

// Any caller at IRQL <= DISPATCH_LEVEL. Trusts wTotalLength, as the platform does: the caller
// must hold that many bytes.
PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorEx(
    PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor, PVOID StartPosition,
    LONG InterfaceNumber, LONG AlternateSetting, LONG InterfaceClass, LONG InterfaceSubClass,
    LONG InterfaceProtocol) {
    const UCHAR* base = reinterpret_cast<const UCHAR*>(ConfigurationDescriptor);
    const UCHAR* end = base + ConfigurationDescriptor->wTotalLength;
    const UCHAR* at = static_cast<const UCHAR*>(StartPosition);
    while (at >= base && at + sizeof(USB_COMMON_DESCRIPTOR) <= end) {
        UCHAR length = at[0];
        if (length == 0) break;  // a malformed descriptor would loop forever
        if (at[1] == USB_INTERFACE_DESCRIPTOR_TYPE && length >= sizeof(USB_INTERFACE_DESCRIPTOR) &&
            at + sizeof(USB_INTERFACE_DESCRIPTOR) <= end) {
            auto* interface = reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(const_cast<UCHAR*>(at));
            if (Matches(InterfaceNumber, interface->bInterfaceNumber) &&
                Matches(AlternateSetting, interface->bAlternateSetting) &&
                Matches(InterfaceClass, interface->bInterfaceClass) &&
                Matches(InterfaceSubClass, interface->bInterfaceSubClass) &&
                Matches(InterfaceProtocol, interface->bInterfaceProtocol)) {
                return interface;
            }
        }
        at += length;
    }
    return nullptr;
}

// Any caller at IRQL <= DISPATCH_LEVEL.
PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                       PUSBD_INTERFACE_LIST_ENTRY InterfaceList) {
    host::VerifyIrqlAtMost(DISPATCH_LEVEL, "USBD_CreateConfigurationRequestEx");
    SIZE_T size = offsetof(struct _URB_SELECT_CONFIGURATION, Interface);
    ULONG interfaces = 0;
    for (PUSBD_INTERFACE_LIST_ENTRY entry = InterfaceList; entry->InterfaceDescriptor; ++entry) {
        size += GET_USBD_INTERFACE_SIZE(entry->InterfaceDescriptor->bNumEndpoints);
        interfaces++;
    }
    if (interfaces == 0) return nullptr;
    if (size < sizeof(struct _URB_SELECT_CONFIGURATION)) size = sizeof(struct _URB_SELECT_CONFIGURATION);

    PURB urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, size, kUsbdTag));
    if (urb == nullptr) return nullptr;
    RtlZeroMemory(urb, size);
    urb->UrbHeader.Length = static_cast<USHORT>(size);
    urb->UrbHeader.Function = URB_FUNCTION_SELECT_CONFIGURATION;
    urb->UrbSelectConfiguration.ConfigurationDescriptor = ConfigurationDescriptor;

    PUCHAR next = reinterpret_cast<PUCHAR>(&urb->UrbSelectConfiguration.Interface);
    for (PUSBD_INTERFACE_LIST_ENTRY entry = InterfaceList; entry->InterfaceDescriptor; ++entry) {
        PUSB_INTERFACE_DESCRIPTOR descriptor = entry->InterfaceDescriptor;
        auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(next);
        info->Length = static_cast<USHORT>(GET_USBD_INTERFACE_SIZE(descriptor->bNumEndpoints));
        info->InterfaceNumber = descriptor->bInterfaceNumber;
        info->AlternateSetting = descriptor->bAlternateSetting;
        info->NumberOfPipes = descriptor->bNumEndpoints;
        for (ULONG i = 0; i < descriptor->bNumEndpoints; ++i) {
            info->Pipes[i].MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE;
            info->Pipes[i].PipeFlags = 0;
        }
        entry->Interface = info;
        next += info->Length;
    }
    return urb;
}
