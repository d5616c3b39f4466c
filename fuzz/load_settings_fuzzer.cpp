// The stored settings as LoadSettings finds them at stream open: each of the 25 values missing
// or present with any type and any length (beyond the reader's own buffer too), and the
// calibration files for the width loaded after them. Input, per value: present (1 byte),
// type (1), length (1), data.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_host.h"
#include "platform/registry.h"

namespace {

constexpr const char16_t* kValueNames[] = {
    u"Saturntion", u"Sharp",     u"Gamma",     u"ColorAdjustType", u"Exposal",
    u"R_Gain",     u"G_Gain",    u"B_Gain",    u"ALL_Gain",        u"Contrast",
    u"CrossX",     u"CrossY",    u"BWPreview", u"CrossLine",       u"LightAVG",
    u"AEing",      u"CrossMid",  u"OffsetMid", u"ClearView",       u"ClearViewParam",
    u"LightModel", u"VideoModel", u"Control",  u"H_Off",           u"V_Off"};

constexpr ULONG kValueTypes[] = {REG_NONE,  REG_SZ,     REG_BINARY, REG_DWORD,
                                 REG_DWORD_BIG_ENDIAN, REG_MULTI_SZ, REG_QWORD};

host::AdapterClient& Adapter() { return vexacam_fuzz::FuzzAdapter(); }

HANDLE OpenSettingsKey() {
    UNICODE_STRING path;
    RtlInitUnicodeString(&path, WIDE_TEXT("\\Registry\\Machine\\SOFTWARE\\Korvald"));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               nullptr, nullptr);
    HANDLE key = nullptr;
    if (!NT_SUCCESS(ZwCreateKey(&key, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, nullptr))) {
        abort();
    }
    return key;
}

void StoreValues(FuzzedDataProvider& input) {
    HANDLE key = OpenSettingsKey();
    for (const char16_t* name : kValueNames) {
        UNICODE_STRING valueName;
        RtlInitUnicodeString(&valueName, reinterpret_cast<PCWSTR>(name));
        if (!input.ConsumeBool()) {
            ZwDeleteValueKey(key, &valueName);
            continue;
        }
        const ULONG type = input.PickValueInArray(kValueTypes);
        std::vector<uint8_t> bytes =
            input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 160));
        vexacam_fuzz::ExactBuffer data(bytes.data(), bytes.size());
        ZwSetValueKey(key, &valueName, 0, type, data.Data(), data.Size());
    }
    ZwClose(key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    host::AdapterClient& adapter = Adapter();
    FuzzedDataProvider input(data, size);
    const std::vector<const KSDATARANGE*> formats = adapter.Formats(0);
    const auto* range = reinterpret_cast<const KS_DATARANGE_VIDEO*>(
        formats[input.ConsumeIntegralInRange<size_t>(0, formats.size() - 1)]);
    StoreValues(input);

    KS_DATAFORMAT_VIDEOINFOHEADER format{};
    format.DataFormat = range->DataRange;
    format.DataFormat.FormatSize = sizeof(format);
    format.VideoInfoHeader = range->VideoInfoHeader;
    const uint64_t blocks = host::GetPoolCounters().BlocksInUse;
    std::unique_ptr<host::StreamClient> stream;
    if (adapter.OpenStream(0, &format.DataFormat, &stream) != STATUS_SUCCESS) abort();
    if (stream->Close() != STATUS_SUCCESS) abort();
    stream.reset();
    host::RunUntilIdle();
    vexacam_fuzz::CheckNoPoolGrowth(blocks);
    return 0;
}
