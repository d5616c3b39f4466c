// The whole per-frame stage sequence at its default settings and with every stage on, beside
// memcpy of the picture, at each vector level.
#include <cstdlib>

#include "bench_support.h"
#include "driver/device_context.h"
#include "imaging/process_frame.h"
#include "imaging/tone_table.h"
#include "usb/camera_defaults.h"
#include "usb/pipeline_tables.h"

namespace vexacam::bench {
namespace {

NTSTATUS SendNowhere(DeviceContext*) { return STATUS_SUCCESS; }
VOID NoDefectCapture(PUCHAR, ULONG, ULONG, DeviceContext*, PULONG) {}
VOID NoGainMapCapture(ULONG, ULONG, PUCHAR, DeviceContext*) {}
const FRAME_STAGE_ACTIONS kActions = {SendNowhere, NoDefectCapture, NoGainMapCapture};

struct BenchDevice {
    DeviceContext* device;
    BenchDevice(ULONG width, ULONG height) {
        device = static_cast<DeviceContext*>(std::calloc(1, sizeof(DeviceContext)));
        AllocatePipelineTables(device);
        WriteCameraDefaults(device);
        device->Command.FrameWidth = width;
        device->Command.FrameHeight = height;
        device->BitCount = 24;
        device->ImageSize = width * height * 3;
    }
    ~BenchDevice() {
        FreePipelineTables(device);
        std::free(device);
    }
};

// Flat field with varied gains, gamma index 20, contrast 20 after colour separation,
// saturation 12, 1,000 defects and the crosshair.
void EveryStageOn(DeviceContext* device, ULONG width, ULONG height) {
    device->LightAVG = 1;
    for (ULONG i = 0; i < width * height; ++i) device->GainMap[i] = static_cast<SHORT>(56 + i % 17);
    BuildToneTable(&device->GammaValue, device->GammaTable[20], device->ToneTable, device->LogTable);
    device->Gamma = 20;
    device->Contrast = 20;
    device->ColorAdjustType = 2;
    device->Saturntion = 12;
    for (ULONG i = 0; i < 1000; ++i) {
        device->DefectTable[i].X = static_cast<USHORT>(2 + (i * 37) % (width - 4));
        device->DefectTable[i].Y = static_cast<USHORT>(2 + (i * 53) % (height - 4));
    }
    device->DefectCount = 1000;
    device->CrossLine = 1;
}

void RunSequence(benchmark::State& state, VECTOR_LEVEL level, bool everyStage) {
    const ULONG width = ULONG(state.range(0)), height = ULONG(state.range(1));
    BenchDevice bench(width, height);
    if (everyStage) EveryStageOn(bench.device, width, height);
    const auto frame = RandomBytes(size_t(width) * height);
    std::vector<uint8_t> raw(kRawFrameBytes), picture(size_t(width) * height * 3);
    LimitVectorLevel(level);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(raw.data(), frame.data(), frame.size());
        state.ResumeTiming();
        RunFrameStagesWithActions(bench.device, raw.data(), picture.data(), ULONG(picture.size()), &kActions);
        benchmark::ClobberMemory();
    }
    LimitVectorLevel(VectorLevelAvx512);
}

void BM_SequenceDefaults(benchmark::State& state, VECTOR_LEVEL level) { RunSequence(state, level, false); }
void BM_SequenceEveryStageOn(benchmark::State& state, VECTOR_LEVEL level) { RunSequence(state, level, true); }

BENCHMARK(BM_MemcpyOfPicture)->Apply(FrameSizes);

int Register() {
    ForEachLevel(BM_SequenceDefaults, "SequenceDefaults");
    ForEachLevel(BM_SequenceEveryStageOn, "SequenceEveryStageOn");
    return 0;
}
const int registered = Register();

}  // namespace
}  // namespace vexacam::bench

BENCHMARK_MAIN();
