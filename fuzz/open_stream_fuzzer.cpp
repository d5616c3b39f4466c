// SRB_OPEN_STREAM and SRB_SET_DATA_FORMAT through the framework with the client's format
// records: a format of FormatSize bytes (never more than the client gave) to open with, then a
// second one to switch to. Each is the input's own bytes or an advertised format with a few
// bytes changed.
#include <fuzzer/FuzzedDataProvider.h>

#include "driver/formats.h"
#include "fuzz_host.h"

namespace {

host::AdapterClient& Adapter() { return vexacam_fuzz::FuzzAdapter(); }

// The framework passes a format on only when it holds at least its header and FormatSize
// bytes; a larger FormatSize than the client's buffer is cut to it here.
KS_DATAFORMAT_VIDEOINFOHEADER Advertised(FuzzedDataProvider& input) {
    const auto* range = reinterpret_cast<const KS_DATARANGE_VIDEO*>(
        CaptureFormats[input.ConsumeIntegralInRange<ULONG>(0, kCaptureFormatCount - 1)]);
    KS_DATAFORMAT_VIDEOINFOHEADER format{};
    format.DataFormat = range->DataRange;
    format.DataFormat.FormatSize = sizeof(format);
    format.VideoInfoHeader = range->VideoInfoHeader;
    return format;
}

bool MakeFormat(std::vector<uint8_t> bytes, std::unique_ptr<vexacam_fuzz::ExactBuffer>* out) {
    if (bytes.size() < sizeof(KSDATAFORMAT)) return false;
    *out = std::make_unique<vexacam_fuzz::ExactBuffer>(bytes.data(), bytes.size());
    auto* format = reinterpret_cast<KSDATAFORMAT*>((*out)->Data());
    if (format->FormatSize > (*out)->Size()) format->FormatSize = (*out)->Size();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    host::AdapterClient& adapter = Adapter();
    FuzzedDataProvider input(data, size);
    const size_t firstLength = input.ConsumeIntegralInRange<size_t>(0, 512);
    const KS_DATAFORMAT_VIDEOINFOHEADER opening = Advertised(input);
    const KS_DATAFORMAT_VIDEOINFOHEADER switching = Advertised(input);
    // The integers above came from the input's end; the two formats split what is left.
    const size_t rest = input.remaining_bytes();
    const size_t split = std::min(rest, firstLength);
    FuzzedDataProvider firstInput(data, split);
    FuzzedDataProvider secondInput(data + split, rest - split);
    std::unique_ptr<vexacam_fuzz::ExactBuffer> first;
    std::unique_ptr<vexacam_fuzz::ExactBuffer> second;
    if (!MakeFormat(vexacam_fuzz::RawOrPatched(firstInput, &opening, sizeof(opening)), &first)) {
        return 0;
    }
    const bool haveSecond =
        MakeFormat(vexacam_fuzz::RawOrPatched(secondInput, &switching, sizeof(switching)), &second);

    const uint64_t blocks = host::GetPoolCounters().BlocksInUse;
    std::unique_ptr<host::StreamClient> stream;
    if (adapter.OpenStream(0, reinterpret_cast<KSDATAFORMAT*>(first->Data()), &stream) !=
        STATUS_SUCCESS) {
        vexacam_fuzz::CheckNoPoolGrowth(blocks);
        return 0;
    }
    if (haveSecond) stream->SetFormat(reinterpret_cast<KSDATAFORMAT*>(second->Data()));
    if (stream->Close() != STATUS_SUCCESS) abort();
    stream.reset();
    host::RunUntilIdle();
    vexacam_fuzz::CheckNoPoolGrowth(blocks);
    return 0;
}
