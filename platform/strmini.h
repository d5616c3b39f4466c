// Stream-class framework interface for video minidrivers: the request block, stream object,
// registration and stream description records, request command codes, notification types and
// the framework calls. Names, values and field order are the platform's published ones; the
// records hold pointers and are wider on a 64-bit host.
#pragma once

#include "platform/kernel.h"
#include "platform/ks.h"
#include "platform/types.h"

#if defined(VEXACAM_WIN32_KERNEL)
#include "platform/win32/strmini.h"
#else

// The framework's calling convention for the routines it calls (__stdcall on the 32-bit kernel).
#define STREAMAPI NTAPI

struct _DEVICE_OBJECT;
struct _DRIVER_OBJECT;
struct _IRP;

// ---------------------------------------------------------------------------------------------
// Request commands

typedef enum _SRB_COMMAND {
    // Stream requests.
    SRB_READ_DATA = 0,
    SRB_WRITE_DATA,
    SRB_GET_STREAM_STATE,
    SRB_SET_STREAM_STATE,
    SRB_SET_STREAM_PROPERTY,
    SRB_GET_STREAM_PROPERTY,
    SRB_OPEN_MASTER_CLOCK,
    SRB_INDICATE_MASTER_CLOCK,
    SRB_UNKNOWN_STREAM_COMMAND,
    SRB_SET_STREAM_RATE,
    SRB_PROPOSE_DATA_FORMAT,
    SRB_CLOSE_MASTER_CLOCK,
    SRB_PROPOSE_STREAM_RATE,
    SRB_SET_DATA_FORMAT,
    SRB_GET_DATA_FORMAT,
    SRB_BEGIN_FLUSH,
    SRB_END_FLUSH,

    // Device (adapter) requests.
    SRB_GET_STREAM_INFO = 0x100,
    SRB_OPEN_STREAM,
    SRB_CLOSE_STREAM,
    SRB_OPEN_DEVICE_INSTANCE,
    SRB_CLOSE_DEVICE_INSTANCE,
    SRB_GET_DEVICE_PROPERTY,
    SRB_SET_DEVICE_PROPERTY,
    SRB_INITIALIZE_DEVICE,
    SRB_CHANGE_POWER_STATE,
    SRB_UNINITIALIZE_DEVICE,
    SRB_UNKNOWN_DEVICE_COMMAND,
    SRB_PAGING_OUT_DRIVER,
    SRB_GET_DATA_INTERSECTION,
    SRB_INITIALIZATION_COMPLETE,
    SRB_SURPRISE_REMOVAL,
} SRB_COMMAND;
static_assert(SRB_READ_DATA == 0 && SRB_SET_DATA_FORMAT == 13);
static_assert(SRB_GET_DATA_INTERSECTION == 0x10C && SRB_SURPRISE_REMOVAL == 0x10E);

// HW_STREAM_REQUEST_BLOCK.Flags as the framework sets them.
#define SRB_HW_FLAGS_DATA_TRANSFER 0x00000001
#define SRB_HW_FLAGS_STREAM_REQUEST 0x00000002

// ---------------------------------------------------------------------------------------------
// Request block and its command data

struct _HW_STREAM_OBJECT;
struct _HW_STREAM_REQUEST_BLOCK;
struct _HW_TIME_CONTEXT;
struct _HW_EVENT_DESCRIPTOR;
struct _PORT_CONFIGURATION_INFORMATION;
struct _HW_STREAM_DESCRIPTOR;

typedef struct _STREAM_PROPERTY_DESCRIPTOR {
    PKSPROPERTY Property;
    ULONG PropertySetID;  // index of the set in the property-set array it was found in
    PVOID PropertyInfo;   // value buffer
    ULONG PropertyInputSize;
    ULONG PropertyOutputSize;
} STREAM_PROPERTY_DESCRIPTOR, *PSTREAM_PROPERTY_DESCRIPTOR;

typedef struct _STREAM_DATA_INTERSECT_INFO {
    ULONG StreamNumber;
    PKSDATARANGE DataRange;
    PVOID DataFormatBuffer;
    ULONG SizeOfDataFormatBuffer;
} STREAM_DATA_INTERSECT_INFO, *PSTREAM_DATA_INTERSECT_INFO;

typedef enum _DEVICE_POWER_STATE {
    PowerDeviceUnspecified = 0,
    PowerDeviceD0,
    PowerDeviceD1,
    PowerDeviceD2,
    PowerDeviceD3,
} DEVICE_POWER_STATE;

typedef struct _HW_STREAM_REQUEST_BLOCK {
    ULONG SizeOfThisPacket;
    SRB_COMMAND Command;
    NTSTATUS Status;
    struct _HW_STREAM_OBJECT* StreamObject;
    PVOID HwDeviceExtension;
    PVOID SRBExtension;
    union _CommandData {
        PKSSTREAM_HEADER DataBufferArray;
        struct _HW_STREAM_DESCRIPTOR* StreamBuffer;
        KSSTATE StreamState;
        PVOID TimeReference;
        PSTREAM_PROPERTY_DESCRIPTOR PropertyInfo;
        PKSDATAFORMAT OpenFormat;
        struct _PORT_CONFIGURATION_INFORMATION* ConfigInfo;
        HANDLE MasterClockHandle;
        DEVICE_POWER_STATE DeviceState;
        PSTREAM_DATA_INTERSECT_INFO IntersectInfo;
    } CommandData;
    ULONG NumberOfBuffers;
    ULONG TimeoutCounter;   // seconds left; the framework counts it down while pending
    ULONG TimeoutOriginal;  // the value the count starts from
    struct _HW_STREAM_REQUEST_BLOCK* NextSRB;
    struct _IRP* Irp;
    ULONG Flags;
    PVOID HwInstanceExtension;
    union {
        ULONG NumberOfBytesToTransfer;
        ULONG ActualBytesTransferred;
    };
    PVOID ScatterGatherBuffer;
    ULONG NumberOfPhysicalPages;
    ULONG NumberOfScatterGatherElements;
    ULONG Reserved[1];
} HW_STREAM_REQUEST_BLOCK, *PHW_STREAM_REQUEST_BLOCK;

// ---------------------------------------------------------------------------------------------
// Stream object

typedef void(STREAMAPI* PHW_RECEIVE_STREAM_DATA_SRB)(PHW_STREAM_REQUEST_BLOCK Srb);
typedef void(STREAMAPI* PHW_RECEIVE_STREAM_CONTROL_SRB)(PHW_STREAM_REQUEST_BLOCK Srb);
typedef void(STREAMAPI* PHW_CLOCK_FUNCTION)(struct _HW_TIME_CONTEXT* HwTimeContext);
typedef NTSTATUS(STREAMAPI* PHW_EVENT_ROUTINE)(struct _HW_EVENT_DESCRIPTOR* EventDescriptor);

typedef struct _HW_CLOCK_OBJECT {
    PHW_CLOCK_FUNCTION HwClockFunction;
    ULONG ClockSupportFlags;
    ULONG Reserved[2];
} HW_CLOCK_OBJECT, *PHW_CLOCK_OBJECT;

typedef struct _HW_STREAM_OBJECT {
    ULONG SizeOfThisPacket;
    ULONG StreamNumber;
    PVOID HwStreamExtension;
    PHW_RECEIVE_STREAM_DATA_SRB ReceiveDataPacket;
    PHW_RECEIVE_STREAM_CONTROL_SRB ReceiveControlPacket;
    HW_CLOCK_OBJECT HwClockObject;
    BOOLEAN Dma;
    BOOLEAN Pio;
    PVOID HwDeviceExtension;
    ULONG StreamHeaderMediaSpecific;
    ULONG StreamHeaderWorkspace;
    BOOLEAN Allocator;
    PHW_EVENT_ROUTINE HwEventRoutine;
    ULONG Reserved[2];
} HW_STREAM_OBJECT, *PHW_STREAM_OBJECT;

// ---------------------------------------------------------------------------------------------
// Stream description (answer to SRB_GET_STREAM_INFO)

typedef struct _HW_STREAM_HEADER {
    ULONG NumberOfStreams;
    ULONG SizeOfHwStreamInformation;
    ULONG NumDevPropArrayEntries;
    PKSPROPERTY_SET DevicePropertiesArray;
    ULONG NumDevEventArrayEntries;
    PKSEVENT_SET DeviceEventsArray;
    PKSTOPOLOGY Topology;
    PHW_EVENT_ROUTINE DeviceEventRoutine;
    LONG NumDevMethodArrayEntries;
    PKSMETHOD_SET DeviceMethodsArray;
} HW_STREAM_HEADER, *PHW_STREAM_HEADER;
static_assert(sizeof(PVOID) != 4 || sizeof(HW_STREAM_HEADER) == 40);

typedef struct _HW_STREAM_INFORMATION {
    ULONG NumberOfPossibleInstances;
    KSPIN_DATAFLOW DataFlow;
    BOOLEAN DataAccessible;
    ULONG NumberOfFormatArrayEntries;
    PKSDATAFORMAT* StreamFormatsArray;
    PVOID ClassReserved[4];
    ULONG NumStreamPropArrayEntries;
    PKSPROPERTY_SET StreamPropertiesArray;
    ULONG NumStreamEventArrayEntries;
    PKSEVENT_SET StreamEventsArray;
    const GUID* Category;
    const GUID* Name;
    ULONG MediumsCount;
    const KSPIN_MEDIUM* Mediums;
    BOOLEAN BridgeStream;
    ULONG Reserved[2];
} HW_STREAM_INFORMATION, *PHW_STREAM_INFORMATION;
static_assert(sizeof(PVOID) != 4 || sizeof(HW_STREAM_INFORMATION) == 80);

typedef struct _HW_STREAM_DESCRIPTOR {
    HW_STREAM_HEADER StreamHeader;
    HW_STREAM_INFORMATION StreamInfo;  // one per stream, NumberOfStreams of them
} HW_STREAM_DESCRIPTOR, *PHW_STREAM_DESCRIPTOR;

// ---------------------------------------------------------------------------------------------
// Adapter bring-up

typedef enum _INTERFACE_TYPE {
    InterfaceTypeUndefined = -1,
    Internal = 0,
    PNPBus = 15,
} INTERFACE_TYPE;

typedef enum _KINTERRUPT_MODE { LevelSensitive, Latched } KINTERRUPT_MODE;

typedef struct _PORT_CONFIGURATION_INFORMATION {
    ULONG SizeOfThisPacket;
    PVOID HwDeviceExtension;
    struct _DEVICE_OBJECT* ClassDeviceObject;
    struct _DEVICE_OBJECT* PhysicalDeviceObject;  // next device down the stack
    ULONG SystemIoBusNumber;
    INTERFACE_TYPE AdapterInterfaceType;
    ULONG BusInterruptLevel;
    ULONG BusInterruptVector;
    KINTERRUPT_MODE InterruptMode;
    ULONG DmaChannel;
    ULONG NumberOfAccessRanges;
    PVOID AccessRanges;
    ULONG StreamDescriptorSize;  // written by the minidriver at SRB_INITIALIZE_DEVICE
    struct _IRP* Irp;
    PVOID InterruptObject;
    PVOID DmaAdapterObject;
    struct _DEVICE_OBJECT* RealPhysicalDeviceObject;
    ULONG Reserved[1];
} PORT_CONFIGURATION_INFORMATION, *PPORT_CONFIGURATION_INFORMATION;

typedef BOOLEAN(STREAMAPI* PHW_INTERRUPT)(PVOID DeviceExtension);
typedef void(STREAMAPI* PHW_RECEIVE_DEVICE_SRB)(PHW_STREAM_REQUEST_BLOCK Srb);
typedef void(STREAMAPI* PHW_CANCEL_SRB)(PHW_STREAM_REQUEST_BLOCK Srb);
typedef void(STREAMAPI* PHW_REQUEST_TIMEOUT_HANDLER)(PHW_STREAM_REQUEST_BLOCK Srb);

typedef struct _HW_INITIALIZATION_DATA {
    ULONG HwInitializationDataSize;
    PHW_INTERRUPT HwInterrupt;
    PHW_RECEIVE_DEVICE_SRB HwReceivePacket;
    PHW_CANCEL_SRB HwCancelPacket;
    PHW_REQUEST_TIMEOUT_HANDLER HwRequestTimeoutHandler;
    ULONG DeviceExtensionSize;
    ULONG PerRequestExtensionSize;
    ULONG PerStreamExtensionSize;
    ULONG FilterInstanceExtensionSize;
    BOOLEAN BusMasterDMA;
    BOOLEAN Dma24BitAddresses;
    ULONG BufferAlignment;
    BOOLEAN TurnOffSynchronization;
    ULONG DmaBufferSize;
    ULONG NumNameExtensions;
    PWCHAR* NameExtensionArray;
} HW_INITIALIZATION_DATA, *PHW_INITIALIZATION_DATA;
static_assert(sizeof(PVOID) != 4 || sizeof(HW_INITIALIZATION_DATA) == 60);

// ---------------------------------------------------------------------------------------------
// Framework calls

typedef enum {
    ReadyForNextDeviceRequest,
    DeviceRequestComplete,
    SignalMultipleDeviceEvents,
    SignalDeviceEvent,
    DeleteDeviceEvent,
    SignalMultipleDeviceInstanceEvents,
    DeviceNotificationMaximum,
} STREAM_MINIDRIVER_DEVICE_NOTIFICATION_TYPE;

typedef enum {
    ReadyForNextStreamDataRequest,
    ReadyForNextStreamControlRequest,
    HardwareStarved,
    StreamRequestComplete,
    SignalMultipleStreamEvents,
    SignalStreamEvent,
    DeleteStreamEvent,
    StreamNotificationMaximum,
} STREAM_MINIDRIVER_STREAM_NOTIFICATION_TYPE;

// Argument1 is the driver object, Argument2 the registry path (PUNICODE_STRING).
NTSTATUS STREAMAPI StreamClassRegisterAdapter(PVOID Argument1, PVOID Argument2,
                                              PHW_INITIALIZATION_DATA HwInitializationData);

// DeviceRequestComplete: the one extra argument is the PHW_STREAM_REQUEST_BLOCK.
void StreamClassDeviceNotification(STREAM_MINIDRIVER_DEVICE_NOTIFICATION_TYPE NotificationType,
                                   PVOID HwDeviceExtension, ...);

// StreamRequestComplete: the one extra argument is the PHW_STREAM_REQUEST_BLOCK.
void StreamClassStreamNotification(STREAM_MINIDRIVER_STREAM_NOTIFICATION_TYPE NotificationType,
                                   PHW_STREAM_OBJECT StreamObject, ...);

#endif  // VEXACAM_WIN32_KERNEL
