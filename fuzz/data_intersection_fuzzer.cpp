// SRB_GET_DATA_INTERSECTION with the client's range as the framework passes it on: a range of
// FormatSize bytes (never more than the client gave) and an answer buffer of the size the
// client named. Input: answer-buffer size, stream number, then a range of the input's own
// bytes or an advertised range with a few bytes changed.
#include <fuzzer/FuzzedDataProvider.h>

#include "driver/data_intersection.h"
#include "driver/formats.h"
#include "fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const ULONG answerSize = input.ConsumeIntegralInRange<ULONG>(0, 512);
    const ULONG stream = input.ConsumeIntegralInRange<ULONG>(0, 2);
    const PKSDATAFORMAT advertised =
        CaptureFormats[input.ConsumeIntegralInRange<ULONG>(0, kCaptureFormatCount - 1)];
    std::vector<uint8_t> rest =
        vexacam_fuzz::RawOrPatched(input, advertised, sizeof(KS_DATARANGE_VIDEO));
    // The framework refuses a range smaller than its header or whose size is not its length.
    if (rest.size() < sizeof(KSDATARANGE)) return 0;
    vexacam_fuzz::ExactBuffer range(rest.data(), rest.size());
    auto* header = reinterpret_cast<KSDATARANGE*>(range.Data());
    if (header->FormatSize > range.Size()) header->FormatSize = range.Size();

    vexacam_fuzz::ExactBuffer answer(answerSize);
    STREAM_DATA_INTERSECT_INFO info{};
    info.StreamNumber = stream;
    info.DataRange = header;
    info.DataFormatBuffer = answer.Data();
    info.SizeOfDataFormatBuffer = answerSize;
    HW_STREAM_REQUEST_BLOCK srb{};
    srb.Command = SRB_GET_DATA_INTERSECTION;
    srb.Status = STATUS_SUCCESS;
    srb.CommandData.IntersectInfo = &info;
    const bool written = ComputeDataIntersection(&srb);
    if (written && srb.ActualBytesTransferred > answerSize) abort();
    return 0;
}
