// The calibration files as LoadCalibration finds them: a gain map and a defect table of any
// length and content for one of the frame widths, then the two stages that use what was
// loaded, on a frame of exactly the format's size with any window offsets.
// Input: format (1 byte), H_Off and V_Off (4 each), gain-map length (4), gain map, defect table.
#include <fuzzer/FuzzedDataProvider.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "controls/calibration.h"
#include "driver/formats.h"
#include "fuzz_host.h"
#include "imaging/defects.h"
#include "imaging/flat_field.h"

namespace {

DeviceContext& Device() {
    return *static_cast<DeviceContext*>(vexacam_fuzz::FuzzAdapter().DeviceExtension());
}

// Writes (or, for an absent file, removes) \SystemRoot\Vexa_<width>.<extension>. The file is
// rewritten in place and cut to length rather than truncated first: freeing and allocating
// megabytes of file pages for every input cost more than loading them.
void PlaceFile(ULONG width, const char* extension, const std::vector<uint8_t>* bytes) {
    const std::string path = host::SystemRootPath() + "/Vexa_" + std::to_string(width) + "." +
                             extension;
    if (bytes == nullptr) {
        std::remove(path.c_str());
        return;
    }
    host::MakeDirectories(host::SystemRootPath());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) abort();
    size_t done = 0;
    while (done < bytes->size()) {
        const ssize_t n = ::pwrite(fd, bytes->data() + done, bytes->size() - done,
                                   static_cast<off_t>(done));
        if (n <= 0) abort();
        done += static_cast<size_t>(n);
    }
    if (::ftruncate(fd, static_cast<off_t>(bytes->size())) != 0) abort();
    ::close(fd);
}

// One frame buffer per format for the whole run, each exactly the frame's size: allocating
// and releasing megabytes for every input cost more than the stages under test.
vexacam_fuzz::ExactBuffer& FrameOfFormat(ULONG format) {
    static std::unique_ptr<vexacam_fuzz::ExactBuffer> frames[kCaptureFormatCount];
    if (!frames[format]) {
        const auto* range = reinterpret_cast<const KS_DATARANGE_VIDEO*>(CaptureFormats[format]);
        frames[format] = std::make_unique<vexacam_fuzz::ExactBuffer>(
            static_cast<size_t>(range->VideoInfoHeader.bmiHeader.biWidth) *
            static_cast<size_t>(range->VideoInfoHeader.bmiHeader.biHeight));
    }
    return *frames[format];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DeviceContext& device = Device();
    FuzzedDataProvider input(data, size);
    const ULONG format = input.ConsumeIntegralInRange<ULONG>(0, kCaptureFormatCount - 1);
    const auto* range = reinterpret_cast<const KS_DATARANGE_VIDEO*>(CaptureFormats[format]);
    const ULONG width = static_cast<ULONG>(range->VideoInfoHeader.bmiHeader.biWidth);
    const ULONG height = static_cast<ULONG>(range->VideoInfoHeader.bmiHeader.biHeight);
    device.Image.H_Off = input.ConsumeIntegral<ULONG>();
    device.Image.V_Off = input.ConsumeIntegral<ULONG>();
    const bool haveGainMap = input.ConsumeBool();
    const bool haveDefects = input.ConsumeBool();
    // Lengths around the gain map's own size matter as much as short ones.
    size_t gainMapLength = input.ConsumeIntegralInRange<size_t>(0, 4096);
    if (input.ConsumeBool()) gainMapLength += 2 * static_cast<size_t>(width) * height - 2048;
    // Kept across inputs: a fresh vector of megabytes is fresh pages to fault in every time.
    static std::vector<uint8_t> gainMap;
    const std::vector<uint8_t> given = input.ConsumeBytes<uint8_t>(gainMapLength);
    gainMap.assign(given.begin(), given.end());
    gainMap.resize(gainMapLength, input.ConsumeIntegral<uint8_t>());
    std::vector<uint8_t> defects = input.ConsumeRemainingBytes<uint8_t>();
    PlaceFile(width, "dat", haveGainMap ? &gainMap : nullptr);
    PlaceFile(width, "bpt", haveDefects ? &defects : nullptr);

    LoadCalibration(&device, width, height);
    if (device.Pipeline.DefectCount > kDefectTableEntries) abort();

    vexacam_fuzz::ExactBuffer& frame = FrameOfFormat(format);
    std::memset(frame.Data(), 0x80, frame.Size());
    CorrectDefects(frame.Data(), device.Pipeline.DefectTable, device.Pipeline.DefectCount, width, height,
                   device.Image.H_Off, device.Image.V_Off);
    ApplyFlatField(width, height, frame.Data(), device.Pipeline.GainMap, kGainMapEntries);
    return 0;
}
