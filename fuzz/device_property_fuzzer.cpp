// Device property requests as an application sends them: any set, id, get or set, input and
// output lengths and value bytes, through the framework's checks against the driver's tables
// (as the real framework does) to the driver's handlers, with a camera attached.
// Input: set selector (1 byte), id (4), set flag (1), input size (2), data size (2), value.
#include <fuzzer/FuzzedDataProvider.h>

#include "driver/property_sets.h"
#include "fuzz_host.h"

namespace {

host::AdapterClient& Adapter() { return vexacam_fuzz::FuzzAdapter(); }

GUID PickSet(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return PROPSETID_VIDCAP_VIDEOCONTROL;
    case 1: return CameraControlSet;
    case 2: return PROPSETID_VIDCAP_VIDEOPROCAMP;
    default: {
        GUID other{};
        std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(sizeof(GUID));
        if (!bytes.empty()) std::memcpy(&other, bytes.data(), bytes.size());
        return other;
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    host::AdapterClient& adapter = Adapter();
    FuzzedDataProvider input(data, size);
    host::PropertyCall call{};
    call.Set = PickSet(input);
    call.Id = input.ConsumeIntegral<ULONG>();
    const bool isSet = input.ConsumeBool();
    call.InputSize = input.ConsumeIntegralInRange<ULONG>(0, 256);
    const ULONG dataSize = input.ConsumeIntegralInRange<ULONG>(0, 256);
    std::vector<uint8_t> value = input.ConsumeRemainingBytes<uint8_t>();
    value.resize(dataSize);
    vexacam_fuzz::ExactBuffer buffer(value.data(), value.size());
    call.Data = buffer.Data();
    call.DataSize = buffer.Size();

    const uint64_t blocks = host::GetPoolCounters().BlocksInUse;
    ULONG returned = 0;
    if (isSet) {
        adapter.SetProperty(call);
    } else if (NT_SUCCESS(adapter.GetProperty(call, &returned)) && returned > dataSize) {
        fprintf(stderr, "get of id %u reported %u bytes into a %u-byte buffer\n", call.Id, returned,
                dataSize);
        abort();
    }
    host::RunUntilIdle();
    vexacam_fuzz::CheckNoPoolGrowth(blocks);
    return 0;
}
