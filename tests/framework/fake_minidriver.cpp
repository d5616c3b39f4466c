#include "fake_minidriver.h"

#include <algorithm>
#include <cstring>

namespace framework_test {
namespace {

bool g_leaveReadsAtClose = false;
bool g_wrongNotification = false;

const KSPROPERTY_ITEM kItems[] = {
    DEFINE_KSPROPERTY_ITEM(kGetOnlyId, TRUE, sizeof(KSPROPERTY), sizeof(ULONG), FALSE, nullptr,
                           0, nullptr, nullptr, 0),
    DEFINE_KSPROPERTY_ITEM(kSetOnlyId, FALSE, sizeof(KSPROPERTY), sizeof(ULONG), TRUE, nullptr,
                           0, nullptr, nullptr, 0),
    DEFINE_KSPROPERTY_ITEM(kWideId, TRUE, kWideSize, kWideSize, TRUE, nullptr, 0, nullptr,
                           nullptr, 0),
};

KSPROPERTY_SET g_sets[] = {
    DEFINE_KSPROPERTY_SET(&KSPROPSETID_Connection, 0, nullptr, 0, nullptr),
    DEFINE_KSPROPERTY_SET(&kFakeSet, 3, kItems, 0, nullptr),
};

KS_DATARANGE_VIDEO g_range = [] {
    KS_DATARANGE_VIDEO r{};
    r.DataRange.FormatSize = sizeof(r);
    r.DataRange.MajorFormat = KSDATAFORMAT_TYPE_VIDEO;
    return r;
}();
PKSDATAFORMAT g_formats[] = {&g_range.DataRange};

void Complete(PHW_STREAM_REQUEST_BLOCK srb, bool stream) {
    if (stream) {
        StreamClassStreamNotification(StreamRequestComplete, srb->StreamObject, srb);
    } else {
        StreamClassDeviceNotification(DeviceRequestComplete, srb->HwDeviceExtension, srb);
    }
}

void RecordProperty(PHW_STREAM_REQUEST_BLOCK srb) {
    PSTREAM_PROPERTY_DESCRIPTOR d = srb->CommandData.PropertyInfo;
    std::lock_guard<std::mutex> guard(Fake().Lock);
    Fake().Properties.push_back({srb->Command, d->PropertySetID, d->Property->Id,
                                 d->Property->Flags, d->PropertyInputSize,
                                 d->PropertyOutputSize});
    srb->ActualBytesTransferred = d->PropertyOutputSize;
}

void STREAMAPI ReceiveData(PHW_STREAM_REQUEST_BLOCK srb) {
    std::lock_guard<std::mutex> guard(Fake().Lock);
    Fake().QueuedReads.push_back(srb);
}

void STREAMAPI ReceiveControl(PHW_STREAM_REQUEST_BLOCK srb) {
    srb->Status = STATUS_SUCCESS;
    if (srb->Command == SRB_GET_STREAM_PROPERTY || srb->Command == SRB_SET_STREAM_PROPERTY) {
        RecordProperty(srb);
    }
    Complete(srb, true);
}

void CancelQueuedReads() {
    std::vector<PHW_STREAM_REQUEST_BLOCK> reads;
    {
        std::lock_guard<std::mutex> guard(Fake().Lock);
        reads.swap(Fake().QueuedReads);
    }
    for (PHW_STREAM_REQUEST_BLOCK read : reads) {
        read->Status = STATUS_CANCELLED;
        Complete(read, true);
    }
}

void STREAMAPI ReceiveAdapter(PHW_STREAM_REQUEST_BLOCK srb) {
    {
        std::lock_guard<std::mutex> guard(Fake().Lock);
        Fake().AdapterCommands.push_back(srb->Command);
    }
    srb->Status = STATUS_SUCCESS;
    switch (srb->Command) {
        case SRB_INITIALIZE_DEVICE:
            Fake().PhysicalDevice = srb->CommandData.ConfigInfo->PhysicalDeviceObject;
            srb->CommandData.ConfigInfo->StreamDescriptorSize =
                sizeof(HW_STREAM_HEADER) + sizeof(HW_STREAM_INFORMATION);
            srb->Status = Fake().InitializeStatus;
            break;
        case SRB_GET_STREAM_INFO: {
            HW_STREAM_DESCRIPTOR* d = srb->CommandData.StreamBuffer;
            d->StreamHeader.NumberOfStreams = 1;
            d->StreamHeader.SizeOfHwStreamInformation = sizeof(HW_STREAM_INFORMATION);
            d->StreamHeader.NumDevPropArrayEntries = 2;
            d->StreamHeader.DevicePropertiesArray = g_sets;
            d->StreamInfo.NumberOfFormatArrayEntries = 1;
            d->StreamInfo.StreamFormatsArray = g_formats;
            d->StreamInfo.NumStreamPropArrayEntries = 2;
            d->StreamInfo.StreamPropertiesArray = g_sets;
            break;
        }
        case SRB_OPEN_STREAM:
            srb->StreamObject->ReceiveDataPacket = ReceiveData;
            srb->StreamObject->ReceiveControlPacket = ReceiveControl;
            break;
        case SRB_CLOSE_STREAM:
            if (!g_leaveReadsAtClose) CancelQueuedReads();
            break;
        case SRB_GET_DEVICE_PROPERTY:
        case SRB_SET_DEVICE_PROPERTY:
            RecordProperty(srb);
            break;
        default:
            break;
    }
    const bool wrong = g_wrongNotification;
    g_wrongNotification = false;
    Complete(srb, wrong);
}

void STREAMAPI CancelPacket(PHW_STREAM_REQUEST_BLOCK srb) {
    bool found = false;
    {
        std::lock_guard<std::mutex> guard(Fake().Lock);
        ++Fake().Cancels;
        auto& reads = Fake().QueuedReads;
        auto it = std::find(reads.begin(), reads.end(), srb);
        if (it != reads.end()) {
            reads.erase(it);
            found = true;
        }
    }
    if (found) {
        srb->Status = STATUS_CANCELLED;
        Complete(srb, true);
    }
}

void STREAMAPI TimeoutPacket(PHW_STREAM_REQUEST_BLOCK srb) {
    {
        std::lock_guard<std::mutex> guard(Fake().Lock);
        ++Fake().Timeouts;
    }
    srb->TimeoutCounter = srb->TimeoutOriginal;
}

}  // namespace

FakeState& Fake() {
    static FakeState state;
    return state;
}

void ResetFake() {
    std::lock_guard<std::mutex> guard(Fake().Lock);
    Fake().AdapterCommands.clear();
    Fake().PhysicalDevice = nullptr;
    Fake().Properties.clear();
    Fake().QueuedReads.clear();
    Fake().Cancels = 0;
    Fake().Timeouts = 0;
    Fake().InitializeStatus = STATUS_SUCCESS;
    g_leaveReadsAtClose = false;
    g_wrongNotification = false;
}

NTSTATUS FakeDriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath) {
    HW_INITIALIZATION_DATA data{};
    data.HwInitializationDataSize = sizeof(data);
    data.HwReceivePacket = ReceiveAdapter;
    data.HwCancelPacket = CancelPacket;
    data.HwRequestTimeoutHandler = TimeoutPacket;
    data.DeviceExtensionSize = 64;
    data.PerStreamExtensionSize = 4;
    data.TurnOffSynchronization = TRUE;
    return StreamClassRegisterAdapter(DriverObject, RegistryPath, &data);
}

bool CompleteOldestRead(NTSTATUS status, ULONG dataUsed, LONGLONG pictureNumber) {
    PHW_STREAM_REQUEST_BLOCK srb;
    {
        std::lock_guard<std::mutex> guard(Fake().Lock);
        if (Fake().QueuedReads.empty()) return false;
        srb = Fake().QueuedReads.front();
        Fake().QueuedReads.erase(Fake().QueuedReads.begin());
    }
    PKSSTREAM_HEADER header = srb->CommandData.DataBufferArray;
    header->DataUsed = dataUsed;
    header->OptionsFlags = KSSTREAM_HEADER_OPTIONSF_TIMEVALID;
    header->PresentationTime.Time = 42;
    reinterpret_cast<PKS_FRAME_INFO>(header + 1)->PictureNumber = pictureNumber;
    srb->Status = status;
    Complete(srb, true);
    return true;
}

void STREAMAPI CompleteAgain(PHW_STREAM_REQUEST_BLOCK srb) { Complete(srb, true); }

void LeaveReadsAtClose(bool leave) { g_leaveReadsAtClose = leave; }

void CompleteNextAdapterRequestAsStream() { g_wrongNotification = true; }

}  // namespace framework_test
