// Frame building against any sequence of video transfers: lengths around every framing
// boundary and every completion status, on a running stream with reads queued. Whatever
// arrives, each read is completed exactly once by the time the stream closes, and nothing is
// written outside the buffers (AddressSanitizer). Input: format (1 byte), then per transfer
// a length class (1), a status (1) and, for the free length class, a length (3).
#include <fuzzer/FuzzedDataProvider.h>

#include <map>

#include "driver/formats.h"
#include "fuzz_host.h"
#include "tests/stream/scripted_camera.h"

namespace {

using vexacam_test::ScriptedCamera;
using vexacam_test::ScriptedTransfer;

constexpr int kReads = 4;
constexpr int kMostTransfers = 40;
// The smaller formats: the framing rules are the same, and frames stay cheap to process.
constexpr ULONG kFormats[] = {3, 4, 5};

constexpr USBD_STATUS kStatuses[] = {
    USBD_STATUS_SUCCESS,   USBD_STATUS_SUCCESS,          USBD_STATUS_SUCCESS,
    USBD_STATUS_XACT_ERROR, USBD_STATUS_BABBLE_DETECTED, USBD_STATUS_STALL_PID,
    USBD_STATUS_CRC,       USBD_STATUS_INVALID_PARAMETER, USBD_STATUS_DEV_NOT_RESPONDING};

struct Rig {
    ScriptedCamera* Camera = new ScriptedCamera();
    std::unique_ptr<host::AdapterClient> Adapter;
};

Rig& TheRig() {
    static Rig* rig = [] {
        Rig* made = new Rig();
        if (vexacam_fuzz::FuzzDriver().CreateAdapter(made->Camera->Pdo(), &made->Adapter) !=
            STATUS_SUCCESS) {
            abort();
        }
        return made;
    }();
    return *rig;
}

ULONG TransferLength(FuzzedDataProvider& input, ULONG frameBytes) {
    const ULONG remainder = frameBytes % kTransferBytes;
    switch (input.ConsumeIntegralInRange<int>(0, 7)) {
    case 0: return 0;
    case 1: return remainder;
    case 2: return remainder - 1;
    case 3: return remainder + 1;
    case 4: return kTransferBytes;
    case 5: return kTransferBytes - 1;
    case 6: return 1;
    default: return input.ConsumeIntegralInRange<ULONG>(0, kTransferBytes);
    }
}

// The reads' buffers of each format, kept for the whole run: allocating and zeroing megabytes
// for every input cost more than the framing under test.
std::vector<std::vector<UCHAR>>& BuffersFor(ULONG frameBytes) {
    static std::map<ULONG, std::vector<std::vector<UCHAR>>> buffers;
    std::vector<std::vector<UCHAR>>& kept = buffers[frameBytes];
    if (kept.empty()) kept.assign(kReads, std::vector<UCHAR>(frameBytes * 3));
    return kept;
}

KS_DATAFORMAT_VIDEOINFOHEADER Format(ULONG index) {
    const auto* range = reinterpret_cast<const KS_DATARANGE_VIDEO*>(CaptureFormats[index]);
    KS_DATAFORMAT_VIDEOINFOHEADER format{};
    format.DataFormat = range->DataRange;
    format.DataFormat.FormatSize = sizeof(format);
    format.VideoInfoHeader = range->VideoInfoHeader;
    return format;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Rig& rig = TheRig();
    FuzzedDataProvider input(data, size);
    const KS_DATAFORMAT_VIDEOINFOHEADER format = Format(input.PickValueInArray(kFormats));
    const ULONG frameBytes = static_cast<ULONG>(format.VideoInfoHeader.bmiHeader.biWidth *
                                                format.VideoInfoHeader.bmiHeader.biHeight);
    const uint64_t blocks = host::GetPoolCounters().BlocksInUse;

    std::unique_ptr<host::StreamClient> stream;
    if (rig.Adapter->OpenStream(0, &format.DataFormat, &stream) != STATUS_SUCCESS) abort();
    stream->SetState(KSSTATE_PAUSE);
    host::RunUntilIdle();
    stream->SetState(KSSTATE_RUN);
    std::vector<std::vector<UCHAR>>& buffers = BuffersFor(frameBytes);
    for (std::vector<UCHAR>& buffer : buffers) {
        stream->QueueRead(buffer.data(), static_cast<ULONG>(buffer.size()), 0);
    }
    for (int i = 0; i < kMostTransfers && input.remaining_bytes() > 0; ++i) {
        ScriptedTransfer transfer{};
        transfer.Length = TransferLength(input, frameBytes);
        transfer.Status = input.PickValueInArray(kStatuses);
        transfer.Fill = static_cast<UCHAR>(i);
        rig.Camera->Send({transfer});
        host::RunUntilIdle();
        if (i % 4 == 3) host::AdvanceClock(format.VideoInfoHeader.AvgTimePerFrame / 2);
    }
    host::AdvanceClock(format.VideoInfoHeader.AvgTimePerFrame * 2);
    stream->SetState(KSSTATE_STOP);
    if (stream->Close() != STATUS_SUCCESS) abort();
    host::RunUntilIdle();
    const std::vector<host::CompletedRead> completed = stream->TakeCompletedReads();
    if (completed.size() != kReads || stream->PendingReads() != 0) {
        fprintf(stderr, "%zu of %d reads completed, %zu pending\n", completed.size(), kReads,
                stream->PendingReads());
        abort();
    }
    stream.reset();
    // Transfers the driver never asked for would otherwise open the next input's stream.
    rig.Camera->DropUnsent();
    rig.Camera->ForgetCommands();
    vexacam_fuzz::CheckNoPoolGrowth(blocks);
    return 0;
}
