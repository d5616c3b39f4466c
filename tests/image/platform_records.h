// The records, callbacks and values that cross between the driver and the platform, listed once
// for the layout proof: the same list is evaluated with the platform's published headers (by the
// cross compiler, tests/image/mingw/) and with the host's (tests/image/platform_abi_test.cpp),
// and the two tables must agree word for word.
//
//   VEXACAM_RECORD(Type)          size and alignment
//   VEXACAM_FIELD(Type, Member)   offset of a member (a path through nested records)
//   VEXACAM_CALLBACK(Type)        calling convention and argument bytes of a routine type
//   VEXACAM_VALUE(Expression)     a constant's value
#pragma once

#define VEXACAM_FOR_EACH_PLATFORM_RECORD(VEXACAM_RECORD, VEXACAM_FIELD, VEXACAM_CALLBACK,    \
                                         VEXACAM_VALUE)                                      \
    /* Basic records */                                                                      \
    VEXACAM_RECORD(LARGE_INTEGER)                                                            \
    VEXACAM_FIELD(LARGE_INTEGER, u.HighPart)                                                 \
    VEXACAM_RECORD(LONGLONG)                                                                 \
    VEXACAM_RECORD(ULONGLONG)                                                                \
    VEXACAM_RECORD(GUID)                                                                     \
    VEXACAM_RECORD(UNICODE_STRING)                                                           \
    VEXACAM_FIELD(UNICODE_STRING, MaximumLength)                                             \
    VEXACAM_FIELD(UNICODE_STRING, Buffer)                                                    \
    VEXACAM_RECORD(LIST_ENTRY)                                                               \
    VEXACAM_RECORD(OBJECT_ATTRIBUTES)                                                        \
    VEXACAM_FIELD(OBJECT_ATTRIBUTES, RootDirectory)                                          \
    VEXACAM_FIELD(OBJECT_ATTRIBUTES, ObjectName)                                             \
    VEXACAM_FIELD(OBJECT_ATTRIBUTES, Attributes)                                             \
    VEXACAM_FIELD(OBJECT_ATTRIBUTES, SecurityDescriptor)                                     \
    VEXACAM_FIELD(OBJECT_ATTRIBUTES, SecurityQualityOfService)                               \
    VEXACAM_RECORD(IO_STATUS_BLOCK)                                                          \
    VEXACAM_FIELD(IO_STATUS_BLOCK, Information)                                              \
    VEXACAM_RECORD(CLIENT_ID)                                                                \
    VEXACAM_RECORD(KEY_VALUE_PARTIAL_INFORMATION)                                            \
    VEXACAM_FIELD(KEY_VALUE_PARTIAL_INFORMATION, Type)                                       \
    VEXACAM_FIELD(KEY_VALUE_PARTIAL_INFORMATION, DataLength)                                 \
    VEXACAM_FIELD(KEY_VALUE_PARTIAL_INFORMATION, Data)                                       \
    /* Dispatcher objects and other records the driver embeds for the kernel */             \
    VEXACAM_RECORD(DISPATCHER_HEADER)                                                        \
    VEXACAM_RECORD(KEVENT)                                                                   \
    VEXACAM_RECORD(KSEMAPHORE)                                                               \
    VEXACAM_RECORD(KTIMER)                                                                   \
    VEXACAM_RECORD(KDPC)                                                                     \
    VEXACAM_RECORD(KSPIN_LOCK)                                                               \
    VEXACAM_RECORD(KWAIT_BLOCK)                                                              \
    VEXACAM_RECORD(KFLOATING_SAVE)                                                           \
    VEXACAM_RECORD(XSTATE_SAVE)                                                              \
    /* Device and driver objects */                                                          \
    VEXACAM_RECORD(DEVICE_OBJECT)                                                            \
    VEXACAM_FIELD(DEVICE_OBJECT, DriverObject)                                               \
    VEXACAM_FIELD(DEVICE_OBJECT, AttachedDevice)                                             \
    VEXACAM_FIELD(DEVICE_OBJECT, CurrentIrp)                                                 \
    VEXACAM_FIELD(DEVICE_OBJECT, Flags)                                                      \
    VEXACAM_FIELD(DEVICE_OBJECT, Characteristics)                                            \
    VEXACAM_FIELD(DEVICE_OBJECT, DeviceExtension)                                            \
    VEXACAM_FIELD(DEVICE_OBJECT, DeviceType)                                                 \
    VEXACAM_FIELD(DEVICE_OBJECT, StackSize)                                                  \
    VEXACAM_FIELD(DEVICE_OBJECT, AlignmentRequirement)                                       \
    VEXACAM_RECORD(DRIVER_OBJECT)                                                            \
    VEXACAM_FIELD(DRIVER_OBJECT, DeviceObject)                                               \
    VEXACAM_FIELD(DRIVER_OBJECT, DriverExtension)                                            \
    VEXACAM_FIELD(DRIVER_OBJECT, DriverName)                                                 \
    VEXACAM_FIELD(DRIVER_OBJECT, DriverInit)                                                 \
    VEXACAM_FIELD(DRIVER_OBJECT, DriverUnload)                                               \
    VEXACAM_FIELD(DRIVER_OBJECT, MajorFunction)                                              \
    VEXACAM_RECORD(DRIVER_EXTENSION)                                                         \
    VEXACAM_FIELD(DRIVER_EXTENSION, AddDevice)                                               \
    /* Request packets */                                                                    \
    VEXACAM_RECORD(IRP)                                                                      \
    VEXACAM_FIELD(IRP, MdlAddress)                                                           \
    VEXACAM_FIELD(IRP, Flags)                                                                \
    VEXACAM_FIELD(IRP, AssociatedIrp.SystemBuffer)                                           \
    VEXACAM_FIELD(IRP, IoStatus)                                                             \
    VEXACAM_FIELD(IRP, RequestorMode)                                                        \
    VEXACAM_FIELD(IRP, PendingReturned)                                                      \
    VEXACAM_FIELD(IRP, StackCount)                                                           \
    VEXACAM_FIELD(IRP, CurrentLocation)                                                      \
    VEXACAM_FIELD(IRP, Cancel)                                                               \
    VEXACAM_FIELD(IRP, CancelIrql)                                                           \
    VEXACAM_FIELD(IRP, AllocationFlags)                                                      \
    VEXACAM_FIELD(IRP, UserIosb)                                                             \
    VEXACAM_FIELD(IRP, UserEvent)                                                            \
    VEXACAM_FIELD(IRP, CancelRoutine)                                                        \
    VEXACAM_FIELD(IRP, UserBuffer)                                                           \
    VEXACAM_FIELD(IRP, Tail.Overlay.DriverContext)                                           \
    VEXACAM_FIELD(IRP, Tail.Overlay.Thread)                                                  \
    VEXACAM_FIELD(IRP, Tail.Overlay.ListEntry)                                               \
    VEXACAM_FIELD(IRP, Tail.Overlay.CurrentStackLocation)                                    \
    VEXACAM_FIELD(IRP, Tail.Overlay.OriginalFileObject)                                      \
    VEXACAM_RECORD(IO_STACK_LOCATION)                                                        \
    VEXACAM_FIELD(IO_STACK_LOCATION, Control)                                                \
    VEXACAM_FIELD(IO_STACK_LOCATION, Parameters.DeviceIoControl.OutputBufferLength)          \
    VEXACAM_FIELD(IO_STACK_LOCATION, Parameters.DeviceIoControl.InputBufferLength)           \
    VEXACAM_FIELD(IO_STACK_LOCATION, Parameters.DeviceIoControl.IoControlCode)               \
    VEXACAM_FIELD(IO_STACK_LOCATION, Parameters.DeviceIoControl.Type3InputBuffer)            \
    VEXACAM_FIELD(IO_STACK_LOCATION, Parameters.Others.Argument1)                            \
    VEXACAM_FIELD(IO_STACK_LOCATION, Parameters.Others.Argument2)                            \
    VEXACAM_FIELD(IO_STACK_LOCATION, DeviceObject)                                           \
    VEXACAM_FIELD(IO_STACK_LOCATION, FileObject)                                             \
    VEXACAM_FIELD(IO_STACK_LOCATION, CompletionRoutine)                                      \
    VEXACAM_FIELD(IO_STACK_LOCATION, Context)                                                \
    /* Routines the kernel calls back */                                                     \
    VEXACAM_CALLBACK(PDRIVER_INITIALIZE)                                                     \
    VEXACAM_CALLBACK(PDRIVER_DISPATCH)                                                       \
    VEXACAM_CALLBACK(PDRIVER_UNLOAD)                                                         \
    VEXACAM_CALLBACK(PDRIVER_ADD_DEVICE)                                                     \
    VEXACAM_CALLBACK(PDRIVER_STARTIO)                                                        \
    VEXACAM_CALLBACK(PDRIVER_CANCEL)                                                         \
    VEXACAM_CALLBACK(PIO_COMPLETION_ROUTINE)                                                 \
    VEXACAM_CALLBACK(PKDEFERRED_ROUTINE)                                                     \
    VEXACAM_CALLBACK(PIO_WORKITEM_ROUTINE)                                                   \
    VEXACAM_CALLBACK(PKSTART_ROUTINE)                                                        \
    VEXACAM_CALLBACK(PIO_APC_ROUTINE)                                                        \
    VEXACAM_CALLBACK(PFNKSHANDLER)                                                           \
    VEXACAM_CALLBACK(PHW_RECEIVE_DEVICE_SRB)                                                 \
    VEXACAM_CALLBACK(PHW_CANCEL_SRB)                                                         \
    VEXACAM_CALLBACK(PHW_REQUEST_TIMEOUT_HANDLER)                                            \
    VEXACAM_CALLBACK(PHW_INTERRUPT)                                                          \
    VEXACAM_CALLBACK(PHW_RECEIVE_STREAM_DATA_SRB)                                            \
    VEXACAM_CALLBACK(PHW_RECEIVE_STREAM_CONTROL_SRB)                                         \
    VEXACAM_CALLBACK(PHW_CLOCK_FUNCTION)                                                     \
    VEXACAM_CALLBACK(PHW_EVENT_ROUTINE)                                                      \
    /* Stream-class framework */                                                             \
    VEXACAM_RECORD(HW_STREAM_REQUEST_BLOCK)                                                  \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, Command)                                          \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, Status)                                           \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, StreamObject)                                     \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, HwDeviceExtension)                                \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, SRBExtension)                                     \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, CommandData)                                      \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, NumberOfBuffers)                                  \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, TimeoutCounter)                                   \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, TimeoutOriginal)                                  \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, NextSRB)                                          \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, Irp)                                              \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, Flags)                                            \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, HwInstanceExtension)                              \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, ActualBytesTransferred)                           \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, ScatterGatherBuffer)                              \
    VEXACAM_FIELD(HW_STREAM_REQUEST_BLOCK, NumberOfScatterGatherElements)                    \
    VEXACAM_RECORD(HW_STREAM_OBJECT)                                                         \
    VEXACAM_FIELD(HW_STREAM_OBJECT, StreamNumber)                                            \
    VEXACAM_FIELD(HW_STREAM_OBJECT, HwStreamExtension)                                       \
    VEXACAM_FIELD(HW_STREAM_OBJECT, ReceiveDataPacket)                                       \
    VEXACAM_FIELD(HW_STREAM_OBJECT, ReceiveControlPacket)                                    \
    VEXACAM_FIELD(HW_STREAM_OBJECT, HwClockObject)                                           \
    VEXACAM_FIELD(HW_STREAM_OBJECT, Dma)                                                     \
    VEXACAM_FIELD(HW_STREAM_OBJECT, Pio)                                                     \
    VEXACAM_FIELD(HW_STREAM_OBJECT, HwDeviceExtension)                                       \
    VEXACAM_FIELD(HW_STREAM_OBJECT, StreamHeaderMediaSpecific)                               \
    VEXACAM_FIELD(HW_STREAM_OBJECT, StreamHeaderWorkspace)                                   \
    VEXACAM_FIELD(HW_STREAM_OBJECT, Allocator)                                               \
    VEXACAM_FIELD(HW_STREAM_OBJECT, HwEventRoutine)                                          \
    VEXACAM_RECORD(HW_CLOCK_OBJECT)                                                          \
    VEXACAM_RECORD(STREAM_PROPERTY_DESCRIPTOR)                                               \
    VEXACAM_FIELD(STREAM_PROPERTY_DESCRIPTOR, PropertySetID)                                 \
    VEXACAM_FIELD(STREAM_PROPERTY_DESCRIPTOR, PropertyInfo)                                  \
    VEXACAM_FIELD(STREAM_PROPERTY_DESCRIPTOR, PropertyInputSize)                             \
    VEXACAM_FIELD(STREAM_PROPERTY_DESCRIPTOR, PropertyOutputSize)                            \
    VEXACAM_RECORD(STREAM_DATA_INTERSECT_INFO)                                               \
    VEXACAM_FIELD(STREAM_DATA_INTERSECT_INFO, DataRange)                                     \
    VEXACAM_FIELD(STREAM_DATA_INTERSECT_INFO, DataFormatBuffer)                              \
    VEXACAM_FIELD(STREAM_DATA_INTERSECT_INFO, SizeOfDataFormatBuffer)                        \
    VEXACAM_RECORD(PORT_CONFIGURATION_INFORMATION)                                           \
    VEXACAM_FIELD(PORT_CONFIGURATION_INFORMATION, HwDeviceExtension)                         \
    VEXACAM_FIELD(PORT_CONFIGURATION_INFORMATION, ClassDeviceObject)                         \
    VEXACAM_FIELD(PORT_CONFIGURATION_INFORMATION, PhysicalDeviceObject)                      \
    VEXACAM_FIELD(PORT_CONFIGURATION_INFORMATION, AdapterInterfaceType)                      \
    VEXACAM_FIELD(PORT_CONFIGURATION_INFORMATION, StreamDescriptorSize)                      \
    VEXACAM_FIELD(PORT_CONFIGURATION_INFORMATION, Irp)                                       \
    VEXACAM_FIELD(PORT_CONFIGURATION_INFORMATION, RealPhysicalDeviceObject)                  \
    VEXACAM_RECORD(HW_INITIALIZATION_DATA)                                                   \
    VEXACAM_FIELD(HW_INITIALIZATION_DATA, HwReceivePacket)                                   \
    VEXACAM_FIELD(HW_INITIALIZATION_DATA, HwCancelPacket)                                    \
    VEXACAM_FIELD(HW_INITIALIZATION_DATA, HwRequestTimeoutHandler)                           \
    VEXACAM_FIELD(HW_INITIALIZATION_DATA, DeviceExtensionSize)                               \
    VEXACAM_FIELD(HW_INITIALIZATION_DATA, PerRequestExtensionSize)                           \
    VEXACAM_FIELD(HW_INITIALIZATION_DATA, PerStreamExtensionSize)                            \
    VEXACAM_FIELD(HW_INITIALIZATION_DATA, FilterInstanceExtensionSize)                       \
    VEXACAM_FIELD(HW_INITIALIZATION_DATA, BusMasterDMA)                                      \
    VEXACAM_FIELD(HW_INITIALIZATION_DATA, BufferAlignment)                                   \
    VEXACAM_FIELD(HW_INITIALIZATION_DATA, TurnOffSynchronization)                            \
    VEXACAM_FIELD(HW_INITIALIZATION_DATA, DmaBufferSize)                                     \
    VEXACAM_FIELD(HW_INITIALIZATION_DATA, NameExtensionArray)                                \
    VEXACAM_RECORD(HW_STREAM_HEADER)                                                         \
    VEXACAM_FIELD(HW_STREAM_HEADER, SizeOfHwStreamInformation)                               \
    VEXACAM_FIELD(HW_STREAM_HEADER, DevicePropertiesArray)                                   \
    VEXACAM_FIELD(HW_STREAM_HEADER, Topology)                                                \
    VEXACAM_FIELD(HW_STREAM_HEADER, DeviceMethodsArray)                                      \
    VEXACAM_RECORD(HW_STREAM_INFORMATION)                                                    \
    VEXACAM_FIELD(HW_STREAM_INFORMATION, DataFlow)                                           \
    VEXACAM_FIELD(HW_STREAM_INFORMATION, DataAccessible)                                     \
    VEXACAM_FIELD(HW_STREAM_INFORMATION, NumberOfFormatArrayEntries)                         \
    VEXACAM_FIELD(HW_STREAM_INFORMATION, StreamFormatsArray)                                 \
    VEXACAM_FIELD(HW_STREAM_INFORMATION, NumStreamPropArrayEntries)                          \
    VEXACAM_FIELD(HW_STREAM_INFORMATION, StreamPropertiesArray)                              \
    VEXACAM_FIELD(HW_STREAM_INFORMATION, Category)                                           \
    VEXACAM_FIELD(HW_STREAM_INFORMATION, Name)                                               \
    VEXACAM_FIELD(HW_STREAM_INFORMATION, MediumsCount)                                       \
    VEXACAM_FIELD(HW_STREAM_INFORMATION, Mediums)                                            \
    VEXACAM_FIELD(HW_STREAM_INFORMATION, BridgeStream)                                       \
    VEXACAM_RECORD(HW_STREAM_DESCRIPTOR)                                                     \
    VEXACAM_FIELD(HW_STREAM_DESCRIPTOR, StreamInfo)                                          \
    /* Kernel streaming */                                                                   \
    VEXACAM_RECORD(KSIDENTIFIER)                                                             \
    VEXACAM_FIELD(KSIDENTIFIER, Id)                                                          \
    VEXACAM_FIELD(KSIDENTIFIER, Flags)                                                       \
    VEXACAM_RECORD(KSPROPERTY_ITEM)                                                          \
    VEXACAM_FIELD(KSPROPERTY_ITEM, GetSupported)                                             \
    VEXACAM_FIELD(KSPROPERTY_ITEM, MinProperty)                                              \
    VEXACAM_FIELD(KSPROPERTY_ITEM, MinData)                                                  \
    VEXACAM_FIELD(KSPROPERTY_ITEM, SetSupported)                                             \
    VEXACAM_FIELD(KSPROPERTY_ITEM, Values)                                                   \
    VEXACAM_FIELD(KSPROPERTY_ITEM, RelationsCount)                                           \
    VEXACAM_FIELD(KSPROPERTY_ITEM, SupportHandler)                                           \
    VEXACAM_FIELD(KSPROPERTY_ITEM, SerializedSize)                                           \
    VEXACAM_RECORD(KSPROPERTY_SET)                                                           \
    VEXACAM_FIELD(KSPROPERTY_SET, PropertiesCount)                                           \
    VEXACAM_FIELD(KSPROPERTY_SET, PropertyItem)                                              \
    VEXACAM_FIELD(KSPROPERTY_SET, FastIoCount)                                               \
    VEXACAM_FIELD(KSPROPERTY_SET, FastIoTable)                                               \
    VEXACAM_RECORD(KSPROPERTY_VALUES)                                                        \
    VEXACAM_FIELD(KSPROPERTY_VALUES, MembersListCount)                                       \
    VEXACAM_FIELD(KSPROPERTY_VALUES, MembersList)                                            \
    VEXACAM_RECORD(KSPROPERTY_MEMBERSLIST)                                                   \
    VEXACAM_FIELD(KSPROPERTY_MEMBERSLIST, Members)                                           \
    VEXACAM_RECORD(KSPROPERTY_MEMBERSHEADER)                                                 \
    VEXACAM_RECORD(KSPROPERTY_STEPPING_LONG)                                                 \
    VEXACAM_FIELD(KSPROPERTY_STEPPING_LONG, Bounds)                                          \
    VEXACAM_RECORD(KSTOPOLOGY)                                                               \
    VEXACAM_FIELD(KSTOPOLOGY, TopologyNodesCount)                                            \
    VEXACAM_FIELD(KSTOPOLOGY, TopologyConnections)                                           \
    VEXACAM_FIELD(KSTOPOLOGY, TopologyNodesNames)                                            \
    VEXACAM_RECORD(KSTOPOLOGY_CONNECTION)                                                    \
    VEXACAM_RECORD(KSEVENT_SET)                                                              \
    VEXACAM_RECORD(KSMETHOD_SET)                                                             \
    VEXACAM_RECORD(KSDATAFORMAT)                                                             \
    VEXACAM_FIELD(KSDATAFORMAT, SampleSize)                                                  \
    VEXACAM_FIELD(KSDATAFORMAT, MajorFormat)                                                 \
    VEXACAM_FIELD(KSDATAFORMAT, SubFormat)                                                   \
    VEXACAM_FIELD(KSDATAFORMAT, Specifier)                                                   \
    VEXACAM_RECORD(KS_BITMAPINFOHEADER)                                                      \
    VEXACAM_RECORD(KS_VIDEOINFOHEADER)                                                       \
    VEXACAM_FIELD(KS_VIDEOINFOHEADER, AvgTimePerFrame)                                       \
    VEXACAM_FIELD(KS_VIDEOINFOHEADER, bmiHeader)                                             \
    VEXACAM_RECORD(KS_VIDEO_STREAM_CONFIG_CAPS)                                              \
    VEXACAM_FIELD(KS_VIDEO_STREAM_CONFIG_CAPS, MinFrameInterval)                             \
    VEXACAM_FIELD(KS_VIDEO_STREAM_CONFIG_CAPS, MaxBitsPerSecond)                             \
    VEXACAM_RECORD(KS_DATARANGE_VIDEO)                                                       \
    VEXACAM_FIELD(KS_DATARANGE_VIDEO, ConfigCaps)                                            \
    VEXACAM_FIELD(KS_DATARANGE_VIDEO, VideoInfoHeader)                                       \
    VEXACAM_RECORD(KS_DATAFORMAT_VIDEOINFOHEADER)                                            \
    VEXACAM_RECORD(KSTIME)                                                                   \
    VEXACAM_FIELD(KSTIME, Numerator)                                                         \
    VEXACAM_RECORD(KSSTREAM_HEADER)                                                          \
    VEXACAM_FIELD(KSSTREAM_HEADER, PresentationTime)                                         \
    VEXACAM_FIELD(KSSTREAM_HEADER, Duration)                                                 \
    VEXACAM_FIELD(KSSTREAM_HEADER, FrameExtent)                                              \
    VEXACAM_FIELD(KSSTREAM_HEADER, DataUsed)                                                 \
    VEXACAM_FIELD(KSSTREAM_HEADER, Data)                                                     \
    VEXACAM_FIELD(KSSTREAM_HEADER, OptionsFlags)                                             \
    VEXACAM_RECORD(KS_FRAME_INFO)                                                            \
    VEXACAM_FIELD(KS_FRAME_INFO, PictureNumber)                                              \
    VEXACAM_FIELD(KS_FRAME_INFO, DropCount)                                                  \
    VEXACAM_FIELD(KS_FRAME_INFO, hDirectDraw)                                                \
    VEXACAM_FIELD(KS_FRAME_INFO, DirectDrawRect)                                             \
    VEXACAM_RECORD(KSALLOCATOR_FRAMING)                                                      \
    VEXACAM_FIELD(KSALLOCATOR_FRAMING, PoolType)                                             \
    VEXACAM_FIELD(KSALLOCATOR_FRAMING, FrameSize)                                            \
    VEXACAM_RECORD(KSPROPERTY_DROPPEDFRAMES_CURRENT_S)                                       \
    VEXACAM_FIELD(KSPROPERTY_DROPPEDFRAMES_CURRENT_S, PictureNumber)                         \
    VEXACAM_FIELD(KSPROPERTY_DROPPEDFRAMES_CURRENT_S, AverageFrameSize)                      \
    VEXACAM_RECORD(KSPROPERTY_VIDEOPROCAMP_S)                                                \
    VEXACAM_FIELD(KSPROPERTY_VIDEOPROCAMP_S, Capabilities)                                   \
    VEXACAM_RECORD(KSPROPERTY_VIDEOCONTROL_CAPS_S)                                           \
    VEXACAM_RECORD(KSPROPERTY_VIDEOCONTROL_MODE_S)                                           \
    VEXACAM_FIELD(KSPROPERTY_VIDEOCONTROL_MODE_S, Mode)                                      \
    VEXACAM_RECORD(KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S)                              \
    VEXACAM_FIELD(KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S, CurrentActualFrameRate)       \
    VEXACAM_RECORD(KSPROPERTY_VIDEOCONTROL_FRAME_RATES_S)                                    \
    VEXACAM_RECORD(KSMULTIPLE_ITEM)                                                          \
    VEXACAM_RECORD(KSSTATE)                                                                  \
    VEXACAM_RECORD(KSPIN_DATAFLOW)                                                           \
    /* USB */                                                                                \
    VEXACAM_RECORD(USB_DEVICE_DESCRIPTOR)                                                    \
    VEXACAM_RECORD(USB_CONFIGURATION_DESCRIPTOR)                                             \
    VEXACAM_RECORD(USB_INTERFACE_DESCRIPTOR)                                                 \
    VEXACAM_RECORD(USB_ENDPOINT_DESCRIPTOR)                                                  \
    VEXACAM_FIELD(USB_ENDPOINT_DESCRIPTOR, wMaxPacketSize)                                   \
    VEXACAM_RECORD(USB_COMMON_DESCRIPTOR)                                                    \
    VEXACAM_RECORD(USBD_PIPE_INFORMATION)                                                    \
    VEXACAM_FIELD(USBD_PIPE_INFORMATION, PipeType)                                           \
    VEXACAM_FIELD(USBD_PIPE_INFORMATION, PipeHandle)                                         \
    VEXACAM_FIELD(USBD_PIPE_INFORMATION, MaximumTransferSize)                                \
    VEXACAM_FIELD(USBD_PIPE_INFORMATION, PipeFlags)                                          \
    VEXACAM_RECORD(USBD_INTERFACE_INFORMATION)                                               \
    VEXACAM_FIELD(USBD_INTERFACE_INFORMATION, InterfaceHandle)                               \
    VEXACAM_FIELD(USBD_INTERFACE_INFORMATION, NumberOfPipes)                                 \
    VEXACAM_FIELD(USBD_INTERFACE_INFORMATION, Pipes)                                         \
    VEXACAM_RECORD(USBD_INTERFACE_LIST_ENTRY)                                                \
    VEXACAM_FIELD(USBD_INTERFACE_LIST_ENTRY, Interface)                                      \
    VEXACAM_RECORD(struct _URB_HEADER)                                                       \
    VEXACAM_FIELD(struct _URB_HEADER, Status)                                                \
    VEXACAM_FIELD(struct _URB_HEADER, UsbdDeviceHandle)                                      \
    VEXACAM_FIELD(struct _URB_HEADER, UsbdFlags)                                             \
    VEXACAM_RECORD(struct _URB_SELECT_CONFIGURATION)                                         \
    VEXACAM_FIELD(struct _URB_SELECT_CONFIGURATION, ConfigurationDescriptor)                 \
    VEXACAM_FIELD(struct _URB_SELECT_CONFIGURATION, ConfigurationHandle)                     \
    VEXACAM_FIELD(struct _URB_SELECT_CONFIGURATION, Interface)                               \
    VEXACAM_RECORD(struct _URB_PIPE_REQUEST)                                                 \
    VEXACAM_FIELD(struct _URB_PIPE_REQUEST, PipeHandle)                                      \
    VEXACAM_RECORD(struct _URB_CONTROL_DESCRIPTOR_REQUEST)                                   \
    VEXACAM_FIELD(struct _URB_CONTROL_DESCRIPTOR_REQUEST, TransferBufferLength)              \
    VEXACAM_FIELD(struct _URB_CONTROL_DESCRIPTOR_REQUEST, TransferBuffer)                    \
    VEXACAM_FIELD(struct _URB_CONTROL_DESCRIPTOR_REQUEST, TransferBufferMDL)                 \
    VEXACAM_FIELD(struct _URB_CONTROL_DESCRIPTOR_REQUEST, UrbLink)                           \
    VEXACAM_FIELD(struct _URB_CONTROL_DESCRIPTOR_REQUEST, Index)                             \
    VEXACAM_FIELD(struct _URB_CONTROL_DESCRIPTOR_REQUEST, DescriptorType)                    \
    VEXACAM_FIELD(struct _URB_CONTROL_DESCRIPTOR_REQUEST, LanguageId)                        \
    VEXACAM_RECORD(struct _URB_BULK_OR_INTERRUPT_TRANSFER)                                   \
    VEXACAM_FIELD(struct _URB_BULK_OR_INTERRUPT_TRANSFER, TransferFlags)                     \
    VEXACAM_FIELD(struct _URB_BULK_OR_INTERRUPT_TRANSFER, TransferBufferLength)              \
    VEXACAM_FIELD(struct _URB_BULK_OR_INTERRUPT_TRANSFER, TransferBuffer)                    \
    VEXACAM_FIELD(struct _URB_BULK_OR_INTERRUPT_TRANSFER, TransferBufferMDL)                 \
    VEXACAM_FIELD(struct _URB_BULK_OR_INTERRUPT_TRANSFER, UrbLink)                           \
    /* Values that cross: request codes, states, notification kinds, status codes */         \
    VEXACAM_VALUE(SRB_READ_DATA)                                                             \
    VEXACAM_VALUE(SRB_GET_STREAM_STATE)                                                      \
    VEXACAM_VALUE(SRB_SET_STREAM_STATE)                                                      \
    VEXACAM_VALUE(SRB_SET_STREAM_PROPERTY)                                                   \
    VEXACAM_VALUE(SRB_GET_STREAM_PROPERTY)                                                   \
    VEXACAM_VALUE(SRB_PROPOSE_DATA_FORMAT)                                                   \
    VEXACAM_VALUE(SRB_SET_DATA_FORMAT)                                                       \
    VEXACAM_VALUE(SRB_GET_STREAM_INFO)                                                       \
    VEXACAM_VALUE(SRB_OPEN_STREAM)                                                           \
    VEXACAM_VALUE(SRB_CLOSE_STREAM)                                                          \
    VEXACAM_VALUE(SRB_GET_DEVICE_PROPERTY)                                                   \
    VEXACAM_VALUE(SRB_SET_DEVICE_PROPERTY)                                                   \
    VEXACAM_VALUE(SRB_INITIALIZE_DEVICE)                                                     \
    VEXACAM_VALUE(SRB_CHANGE_POWER_STATE)                                                    \
    VEXACAM_VALUE(SRB_UNINITIALIZE_DEVICE)                                                   \
    VEXACAM_VALUE(SRB_GET_DATA_INTERSECTION)                                                 \
    VEXACAM_VALUE(SRB_INITIALIZATION_COMPLETE)                                               \
    VEXACAM_VALUE(SRB_SURPRISE_REMOVAL)                                                      \
    VEXACAM_VALUE(SRB_HW_FLAGS_STREAM_REQUEST)                                               \
    VEXACAM_VALUE(StreamRequestComplete)                                                     \
    VEXACAM_VALUE(ReadyForNextStreamDataRequest)                                             \
    VEXACAM_VALUE(ReadyForNextStreamControlRequest)                                          \
    VEXACAM_VALUE(DeviceRequestComplete)                                                     \
    VEXACAM_VALUE(ReadyForNextDeviceRequest)                                                 \
    VEXACAM_VALUE(KSSTATE_RUN)                                                               \
    VEXACAM_VALUE(KSSTATE_PAUSE)                                                             \
    VEXACAM_VALUE(KSPIN_DATAFLOW_OUT)                                                        \
    VEXACAM_VALUE(PowerDeviceD3)                                                             \
    VEXACAM_VALUE(KSPROPERTY_TYPE_GET)                                                       \
    VEXACAM_VALUE(KSPROPERTY_TYPE_SET)                                                       \
    VEXACAM_VALUE(KSPROPERTY_TYPE_BASICSUPPORT)                                              \
    VEXACAM_VALUE(KSSTREAM_HEADER_OPTIONSF_TIMEVALID)                                        \
    VEXACAM_VALUE(KSSTREAM_HEADER_OPTIONSF_DURATIONVALID)                                    \
    VEXACAM_VALUE(IRP_MJ_INTERNAL_DEVICE_CONTROL)                                            \
    VEXACAM_VALUE(IRP_MJ_MAXIMUM_FUNCTION)                                                   \
    VEXACAM_VALUE(SL_PENDING_RETURNED)                                                       \
    VEXACAM_VALUE(SL_INVOKE_ON_CANCEL)                                                       \
    VEXACAM_VALUE(SL_INVOKE_ON_SUCCESS)                                                      \
    VEXACAM_VALUE(SL_INVOKE_ON_ERROR)                                                        \
    VEXACAM_VALUE(IOCTL_INTERNAL_USB_SUBMIT_URB)                                             \
    VEXACAM_VALUE(IOCTL_INTERNAL_USB_RESET_PORT)                                             \
    VEXACAM_VALUE(IOCTL_INTERNAL_USB_GET_PORT_STATUS)                                        \
    VEXACAM_VALUE(URB_FUNCTION_SELECT_CONFIGURATION)                                         \
    VEXACAM_VALUE(URB_FUNCTION_ABORT_PIPE)                                                   \
    VEXACAM_VALUE(URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER)                                   \
    VEXACAM_VALUE(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE)                                   \
    VEXACAM_VALUE(URB_FUNCTION_RESET_PIPE)                                                   \
    VEXACAM_VALUE(USBD_SHORT_TRANSFER_OK)                                                    \
    VEXACAM_VALUE(USBD_TRANSFER_DIRECTION_IN)                                                \
    VEXACAM_VALUE(USBD_PORT_ENABLED)                                                         \
    VEXACAM_VALUE(USBD_PORT_CONNECTED)                                                       \
    VEXACAM_VALUE(USBD_STATUS_CRC)                                                           \
    VEXACAM_VALUE(USBD_STATUS_STALL_PID)                                                     \
    VEXACAM_VALUE(USBD_STATUS_DEV_NOT_RESPONDING)                                            \
    VEXACAM_VALUE(USBD_STATUS_BABBLE_DETECTED)                                               \
    VEXACAM_VALUE(USBD_STATUS_ENDPOINT_HALTED)                                               \
    VEXACAM_VALUE(USBD_STATUS_DEVICE_GONE)                                                   \
    VEXACAM_VALUE(USBD_STATUS_CANCELED)                                                      \
    VEXACAM_VALUE(USBD_STATUS_ERROR_SHORT_TRANSFER)                                          \
    VEXACAM_VALUE(UsbdPipeTypeBulk)                                                          \
    VEXACAM_VALUE(NonPagedPool)                                                              \
    VEXACAM_VALUE(SynchronizationEvent)                                                      \
    VEXACAM_VALUE(WaitAny)                                                                   \
    VEXACAM_VALUE(DelayedWorkQueue)                                                          \
    VEXACAM_VALUE(KeyValuePartialInformation)                                                \
    VEXACAM_VALUE(REG_DWORD)                                                                 \
    VEXACAM_VALUE(REG_BINARY)                                                                \
    VEXACAM_VALUE(OBJ_CASE_INSENSITIVE)                                                      \
    VEXACAM_VALUE(OBJ_KERNEL_HANDLE)                                                         \
    VEXACAM_VALUE(KEY_ALL_ACCESS)                                                            \
    VEXACAM_VALUE(KEY_READ)                                                                  \
    VEXACAM_VALUE(FILE_OPEN)                                                                 \
    VEXACAM_VALUE(FILE_OVERWRITE_IF)                                                         \
    VEXACAM_VALUE(FILE_SYNCHRONOUS_IO_NONALERT)                                              \
    VEXACAM_VALUE(FILE_NON_DIRECTORY_FILE)                                                   \
    VEXACAM_VALUE(STATUS_PENDING)                                                            \
    VEXACAM_VALUE(STATUS_MORE_PROCESSING_REQUIRED)                                           \
    VEXACAM_VALUE(STATUS_CANCELLED)                                                          \
    VEXACAM_VALUE(STATUS_END_OF_FILE)                                                        \
    VEXACAM_VALUE(STATUS_BUFFER_OVERFLOW)                                                    \
    VEXACAM_VALUE(STATUS_BUFFER_TOO_SMALL)                                                   \
    VEXACAM_VALUE(STATUS_OBJECT_NAME_NOT_FOUND)                                              \
    VEXACAM_VALUE(STATUS_DEVICE_NOT_CONNECTED)
