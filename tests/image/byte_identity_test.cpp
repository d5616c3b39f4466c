// For the same raw frames and settings, every picture the kernel image delivers equals, byte
// for byte, the picture of the driver compiled into the host: at all six formats, with the
// default settings and with every stage of the pipeline on. The image computes on the x87 unit
// (at double precision, as it sets it) and in its vector stages, up to AVX2 where the system
// has the extended save; the host in SSE2 and wider.
#if defined(VEXACAM_KERNEL_IMAGE)

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "camera/sensor.h"
#include "driver/adapter.h"
#include "imaging/cpu_features.h"
#include "host/files/machine_root.h"
#include "host/framework/client.h"
#include "host/kernel/clock.h"
#include "host/kernel/debug_log.h"
#include "host/kernel/host_reset.h"
#include "host/kernel/processor_state.h"
#include "host/registry/registry_store.h"
#include "platform/registry.h"
#include "stream/live_stream_fixture.h"
#include "stream/scripted_camera.h"

namespace vexacam_test {
namespace {

constexpr int kFrames = 3;

struct Picture {
    LONGLONG Number;
    std::vector<UCHAR> Bytes;
};

// Raw frames of the simulated sensor's scene for the format's size: noise, the moving ball
// and defective pixels differ from frame to frame.
std::vector<std::vector<UCHAR>> RawFrames(ULONG width, ULONG height) {
    camera::Sensor sensor(7, 2.0);
    sensor.Configure(camera::MakeGeometry(width, height, (2048 - width) / 2, (1536 - height) / 2, 0),
                     900, 20);
    std::vector<std::vector<UCHAR>> frames(kFrames, std::vector<UCHAR>(width * height));
    for (int i = 0; i < kFrames; ++i) sensor.RenderFrame(i + 1, frames[i].data());
    return frames;
}

void StoreSetting(const char* name, ULONG value) {
    OBJECT_ATTRIBUTES attributes;
    UNICODE_STRING path;
    RtlInitUnicodeString(&path, WIDE_TEXT("\\Registry\\Machine\\SOFTWARE\\Korvald"));
    InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               nullptr, nullptr);
    HANDLE key;
    ASSERT_EQ(ZwCreateKey(&key, KEY_ALL_ACCESS, &attributes, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          nullptr),
              STATUS_SUCCESS);
    const std::u16string wide(name, name + std::strlen(name));
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, reinterpret_cast<PCWSTR>(wide.c_str()));
    ASSERT_EQ(ZwSetValueKey(key, &valueName, 0, REG_DWORD, &value, sizeof(value)), STATUS_SUCCESS);
    ZwClose(key);
}

void WriteFile(const std::string& path, const void* bytes, size_t size) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write(static_cast<const char*>(bytes),
                                                static_cast<std::streamsize>(size));
}

// Every stage on: automatic exposure, a gain map (flat field) and a defect table for the
// width, gamma, contrast with colour adjustment, saturation, the crosshair.
void TurnEveryStageOn(const std::string& root, ULONG width, ULONG height) {
    for (const auto& setting : {std::pair<const char*, ULONG>{"AEing", 1}, {"LightAVG", 1},
                                {"Gamma", 20}, {"Contrast", 20}, {"ColorAdjustType", 2},
                                {"Saturntion", 12}, {"CrossLine", 1}, {"CrossX", width / 3},
                                {"CrossY", height / 4}}) {
        StoreSetting(setting.first, setting.second);
    }
    std::vector<SHORT> gains(width * height);
    for (size_t i = 0; i < gains.size(); ++i) gains[i] = static_cast<SHORT>(40 + (i * 7) % 60);
    const std::string name = root + "/SystemRoot/Vexa_" + std::to_string(width);
    WriteFile(name + ".dat", gains.data(), gains.size() * sizeof(SHORT));
    std::vector<USHORT> defects;
    for (ULONG i = 0; i < 500; ++i) {
        defects.push_back(static_cast<USHORT>(8 + (i * 97) % (width - 16)));
        defects.push_back(static_cast<USHORT>(8 + (i * 61) % (height - 16)));
    }
    WriteFile(name + ".bpt", defects.data(), defects.size() * sizeof(USHORT));
}

// One run: a fresh machine (with or without the extended processor state save), the driver (the image at `image`, or the compiled-in one), the
// stream opened at the format, the raw frames sent one per frame period, the pictures read.
std::vector<Picture> Capture(const char* image, int formatIndex, bool everyStage,
                             bool extendedSave = true) {
    host::ResetHost();
    host::OfferExtendedStateSave(extendedSave);
    host::UseManualClock();
    host::registry::DiscardHive();
    char pattern[] = "/tmp/vexacam-identity-XXXXXX";
    const std::string root = ::mkdtemp(pattern);
    host::SetMachineRoot(root);
    const KS_DATAFORMAT_VIDEOINFOHEADER format = AdvertisedFormat(formatIndex);
    const ULONG width = static_cast<ULONG>(format.VideoInfoHeader.bmiHeader.biWidth);
    const ULONG height = static_cast<ULONG>(format.VideoInfoHeader.bmiHeader.biHeight);
    if (everyStage) TurnEveryStageOn(root, width, height);
    const std::vector<std::vector<UCHAR>> frames = RawFrames(width, height);

    std::vector<Picture> pictures;
    {
        ScriptedCamera camera;
        std::unique_ptr<host::LoadedDriver> driver;
        std::unique_ptr<host::AdapterClient> adapter;
        std::unique_ptr<host::StreamClient> stream;
        std::string problem;
        const NTSTATUS loaded = image != nullptr
                                    ? host::LoadedDriver::LoadImage(image, &driver, &problem)
                                    : host::LoadedDriver::Load(DriverEntry, &driver);
        EXPECT_EQ(loaded, STATUS_SUCCESS) << problem;
        if (loaded != STATUS_SUCCESS) return pictures;
        EXPECT_EQ(driver->CreateAdapter(camera.Pdo(), &adapter), STATUS_SUCCESS);
        EXPECT_EQ(adapter->OpenStream(0, &format.DataFormat, &stream), STATUS_SUCCESS);
        EXPECT_EQ(stream->SetState(KSSTATE_PAUSE), STATUS_SUCCESS);
        host::RunUntilIdle();
        EXPECT_EQ(stream->SetState(KSSTATE_RUN), STATUS_SUCCESS);
        const ULONG size = format.VideoInfoHeader.bmiHeader.biSizeImage;
        std::vector<std::vector<UCHAR>> buffers(kFrames, std::vector<UCHAR>(size, 0xEE));
        for (auto& buffer : buffers) stream->QueueRead(buffer.data(), size, 0);
        const LONGLONG period = format.VideoInfoHeader.AvgTimePerFrame;
        for (const auto& frame : frames) {
            camera.SendFrame(frame);
            host::RunUntilIdle();
            host::AdvanceClock(period);
        }
        host::AdvanceClock(period);
        host::RunUntilIdle();
        for (const host::CompletedRead& read : stream->TakeCompletedReads()) {
            EXPECT_EQ(read.Status, STATUS_SUCCESS);
            const auto* bytes = static_cast<const UCHAR*>(read.Buffer);
            pictures.push_back({read.PictureNumber, {bytes, bytes + read.DataUsed}});
        }
        EXPECT_EQ(stream->Close(), STATUS_SUCCESS);
        host::RunUntilIdle();
        stream.reset();
        EXPECT_EQ(adapter->Uninitialize(), STATUS_SUCCESS);
    }
    host::registry::DiscardHive();
    host::SetMachineRoot("");
    std::filesystem::remove_all(root);
    return pictures;
}

// The pictures of a capture, compared byte for byte with the host build's.
void ExpectSamePictures(const std::vector<Picture>& image, const std::vector<Picture>& host) {
    ASSERT_EQ(host.size(), static_cast<size_t>(kFrames)) << "the host build's pictures";
    ASSERT_EQ(image.size(), host.size()) << "the image's pictures";
    for (size_t i = 0; i < host.size(); ++i) {
        EXPECT_EQ(image[i].Number, host[i].Number);
        ASSERT_EQ(image[i].Bytes.size(), host[i].Bytes.size()) << "picture " << i;
        size_t differing = 0;
        size_t first = 0;
        for (size_t b = 0; b < host[i].Bytes.size(); ++b) {
            if (image[i].Bytes[b] != host[i].Bytes[b] && differing++ == 0) first = b;
        }
        EXPECT_EQ(differing, 0u) << "picture " << i << ": first difference at byte " << first
                                 << " (image " << int{image[i].Bytes[first]} << ", host "
                                 << int{host[i].Bytes[first]} << ")";
    }
}

class ByteIdentity : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(ByteIdentity, ImagePicturesEqualTheHostBuildsByteForByte) {
    const int format = std::get<0>(GetParam());
    const bool everyStage = std::get<1>(GetParam());
    const std::vector<Picture> host = Capture(nullptr, format, everyStage);
    const std::vector<Picture> image = Capture(VEXACAM_KERNEL_IMAGE, format, everyStage);
    ExpectSamePictures(image, host);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<int, bool>>& info) {
    static const char* const kNames[] = {"2048x1536", "1600x1200", "1280x1024",
                                         "1024x768",  "800x600",   "640x480"};
    return std::string("Format") + kNames[std::get<0>(info.param)] +
           (std::get<1>(info.param) ? "EveryStageOn" : "Defaults");
}

INSTANTIATE_TEST_SUITE_P(AllFormats, ByteIdentity,
                         ::testing::Combine(::testing::Values(k2048x1536, k1600x1200, k1280x1024,
                                                              k1024x768, k800x600, k640x480),
                                            ::testing::Bool()),
                         CaseName);

// The image's run-time choice of bodies: the 128-bit ones where the system has only the
// floating-point save, AVX2 where it has the extended save (and the processor AVX2), with that
// save paired around every frame. The image says its choice at load.
struct ChoiceCase {
    const char* Why;
    bool ExtendedSave;
};

class ImageVectorChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ImageVectorChoice, LandsOnTheBodiesTheSaveCoversAndMatchesTheHost) {
    const ChoiceCase& c = GetParam();
    host::OfferExtendedStateSave(true);
    const VECTOR_LEVEL processor = DetectVectorLevel();  // the host saves every width
    const VECTOR_LEVEL cap = c.ExtendedSave ? VectorLevelAvx2
                                            : VectorLevelSse41;
    const VECTOR_LEVEL expected = processor < cap ? processor : cap;

    const std::vector<Picture> host = Capture(nullptr, k640x480, true);
    const std::vector<Picture> image =
        Capture(VEXACAM_KERNEL_IMAGE, k640x480, true, c.ExtendedSave);
    const host::ProcessorStateSaves saves = host::ProcessorStateSaveCounts();
    const std::string said = std::string("vexacam: image stages at ") +
                             VectorLevelName(expected) + ", vector registers saved up to " +
                             (c.ExtendedSave ? "256" : "128") + " bits";
    const std::vector<std::string> lines = host::DebugLogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), said), lines.end()) << c.Why << ": " << said;
    EXPECT_EQ(saves.ExtendedSaves, saves.ExtendedRestores) << c.Why;
    EXPECT_EQ(saves.FloatingPointSaves, saves.FloatingPointRestores) << c.Why;
    if (expected >= VectorLevelAvx2) {
        EXPECT_GE(saves.ExtendedSaves, static_cast<uint32_t>(kFrames)) << c.Why;
        EXPECT_EQ(saves.LastExtendedMask, XSTATE_MASK_LEGACY | XSTATE_MASK_AVX) << c.Why;
    } else {
        EXPECT_EQ(saves.ExtendedSaves, 0u) << c.Why;
    }
    host::OfferExtendedStateSave(true);
    ExpectSamePictures(image, host);
}

INSTANTIATE_TEST_SUITE_P(
    BothSystems, ImageVectorChoice,
    ::testing::Values(ChoiceCase{"a newer system: AVX2 bodies under the extended save", true},
                      ChoiceCase{"an older system: the 128-bit bodies", false}),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) {
        return info.param.ExtendedSave ? std::string("ExtendedSaveOffered")
                                       : std::string("FloatingPointSaveOnly");
    });

}  // namespace
}  // namespace vexacam_test

#endif  // VEXACAM_KERNEL_IMAGE
