// Real-time soak of live video: for each of the six formats the simulated camera runs at the
// format's frame rate on the real clock, the driver runs every pipeline stage, and an
// application keeps four reads queued, as a capture program would. Reported per format:
// frames delivered, periods the driver counted as dropped, late deliveries, and process CPU
// time per delivered frame (driver, host and camera together), and the processor time the
// hypervisor took away meanwhile, which no scheduling inside the machine can make up for.
//
// VEXACAM_SOAK_SECONDS overrides the 60 s per format (for a quick look).
#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "camera/simulated_camera.h"
#include "driver/adapter.h"
#include "driver/device_context.h"
#include "driver/formats.h"
#include "host/files/machine_root.h"
#include "host/framework/client.h"
#include "host/kernel/clock.h"
#include "host/kernel/host_reset.h"
#include "imaging/gamma_table.h"
#include "imaging/tone_table.h"

namespace {

constexpr int kReadsKeptQueued = 4;
constexpr ULONG kDefects = 1000;

double SoakSeconds() {
    const char* text = std::getenv("VEXACAM_SOAK_SECONDS");
    return text != nullptr ? std::atof(text) : 60.0;
}

// Settings and calibration files of the soak stay out of the user's machine state.
const std::string& SoakMachineRoot() {
    static const std::string root = host::MakeTemporaryMachineRoot("soak");
    return root;
}

// CPU time the hypervisor gave to other guests while this one wanted to run, summed over all
// processors (the steal column of /proc/stat); 0 where the kernel does not report it.
double StolenSeconds() {
    std::FILE* stat = std::fopen("/proc/stat", "r");
    if (stat == nullptr) return 0;
    unsigned long long user, nice, system, idle, iowait, irq, softirq, steal = 0;
    const int fields = std::fscanf(stat, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &user,
                                   &nice, &system, &idle, &iowait, &irq, &softirq, &steal);
    std::fclose(stat);
    return fields == 8 ? static_cast<double>(steal) / static_cast<double>(sysconf(_SC_CLK_TCK))
                       : 0.0;
}

double ProcessCpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

KS_DATAFORMAT_VIDEOINFOHEADER AdvertisedFormat(int index) {
    const auto* range = reinterpret_cast<const KS_DATARANGE_VIDEO*>(CaptureFormats[index]);
    KS_DATAFORMAT_VIDEOINFOHEADER format{};
    format.DataFormat = range->DataRange;
    format.DataFormat.FormatSize = sizeof(format);
    format.VideoInfoHeader = range->VideoInfoHeader;
    return format;
}

// Every stage of the pipeline on: automatic exposure, defect repair, gamma, flat field,
// contrast with colour adjustment, saturation, crosshair. Set while the stream is stopped.
void TurnEveryStageOn(DeviceContext& device) {
    device.Image.AEing = 1;
    device.Image.LightAVG = 1;
    device.Image.Contrast = 20;
    device.Image.ColorAdjustType = 2;
    device.Image.Saturntion = 12;
    device.Image.CrossLine = 1;
    device.Pipeline.Gamma = 20;
    BuildToneTable(&device.Pipeline.GammaValue, GammaForIndex(device.Pipeline.GammaTable, device.Pipeline.Gamma),
                   device.Pipeline.ToneTable, device.Pipeline.LogTable);
    ULONG width = device.Command.FrameWidth;
    ULONG height = device.Command.FrameHeight;
    for (ULONG i = 0; i < kDefects; ++i) {
        device.Pipeline.DefectTable[i].X = static_cast<USHORT>(8 + (i * 97) % (width - 16));
        device.Pipeline.DefectTable[i].Y = static_cast<USHORT>(8 + (i * 61) % (height - 16));
    }
    device.Pipeline.DefectCount = kDefects;
}

struct SoakResult {
    uint64_t Delivered = 0;
    uint64_t Cancelled = 0;
    LONGLONG Dropped = 0;
    LONGLONG DroppedBeforeFirst = 0;  // periods due before the first frame was ready
    uint64_t Late = 0;
    double CpuSeconds = 0;
    double StolenSeconds = 0;
    double WallSeconds = 0;
};

// A delivery is late when it comes after the timer expiry that should have carried it: more
// than half a period (plus 2 ms of timer slack) after its due time. Due times are the first
// due time plus whole periods; the earliest delivery phase seen stands for the first due time.
uint64_t CountLate(const std::vector<host::CompletedRead>& delivered, LONGLONG interval) {
    if (delivered.empty()) return 0;
    auto phase = [interval](const host::CompletedRead& read) {
        return read.PresentationTime - read.PictureNumber * interval;
    };
    LONGLONG firstDue = phase(delivered.front());
    for (const host::CompletedRead& read : delivered) firstDue = std::min(firstDue, phase(read));
    uint64_t late = 0;
    for (const host::CompletedRead& read : delivered) {
        if (phase(read) - firstDue > interval / 2 + 2 * host::kMillisecond) ++late;
    }
    return late;
}

SoakResult Soak(int formatIndex, double seconds) {
    KS_DATAFORMAT_VIDEOINFOHEADER format = AdvertisedFormat(formatIndex);
    const LONGLONG interval = format.VideoInfoHeader.AvgTimePerFrame;
    camera::CameraOptions options;
    options.FramesPerSecond = 1e7 / static_cast<double>(interval);
    auto camera = std::make_unique<camera::SimulatedCamera>(options);

    std::unique_ptr<host::LoadedDriver> driver;
    std::unique_ptr<host::AdapterClient> adapter;
    std::unique_ptr<host::StreamClient> stream;
    if (host::LoadedDriver::Load(DriverEntry, &driver) != STATUS_SUCCESS ||
        driver->CreateAdapter(camera->PhysicalDeviceObject(), &adapter) != STATUS_SUCCESS ||
        adapter->OpenStream(0, &format.DataFormat, &stream) != STATUS_SUCCESS) {
        std::abort();
    }
    DeviceContext& device = *static_cast<DeviceContext*>(adapter->DeviceExtension());
    TurnEveryStageOn(device);

    const ULONG imageSize = device.ImageSize;
    std::vector<std::vector<UCHAR>> buffers(kReadsKeptQueued, std::vector<UCHAR>(imageSize));
    stream->SetState(KSSTATE_PAUSE);
    stream->SetState(KSSTATE_RUN);
    for (auto& buffer : buffers) stream->QueueRead(buffer.data(), imageSize, 0);

    SoakResult result;
    std::vector<host::CompletedRead> delivered;
    const double cpuStart = ProcessCpuSeconds();
    const double stolenStart = StolenSeconds();
    const LONGLONG start = host::Now();
    const LONGLONG end = start + static_cast<LONGLONG>(seconds * host::kSecond);
    while (host::Now() < end) {
        stream->WaitForCompletedRead(100 * host::kMillisecond);
        for (const host::CompletedRead& read : stream->TakeCompletedReads()) {
            if (read.Status == STATUS_SUCCESS) {
                delivered.push_back(read);
                result.Dropped = read.DropCount;
            } else {
                ++result.Cancelled;
            }
            stream->QueueRead(read.Buffer, read.BufferSize, 0);
        }
    }
    result.WallSeconds = static_cast<double>(host::Now() - start) / host::kSecond;
    result.CpuSeconds = ProcessCpuSeconds() - cpuStart;
    result.StolenSeconds = StolenSeconds() - stolenStart;
    result.Delivered = delivered.size();
    if (!delivered.empty()) result.DroppedBeforeFirst = delivered.front().DropCount;
    result.Late = CountLate(delivered, interval);
    stream->Close();
    stream.reset();
    adapter->Uninitialize();
    adapter.reset();
    driver.reset();
    camera.reset();
    return result;
}

void BM_LiveVideoSoak(benchmark::State& state) {
    const int formatIndex = static_cast<int>(state.range(0));
    SoakResult result;
    for (auto _ : state) {
        host::ResetHost();
        host::SetMachineRoot(SoakMachineRoot());
        result = Soak(formatIndex, SoakSeconds());
        state.SetIterationTime(result.WallSeconds);
    }
    state.counters["delivered"] = static_cast<double>(result.Delivered);
    state.counters["dropped"] = static_cast<double>(result.Dropped);
    state.counters["dropped_at_start"] = static_cast<double>(result.DroppedBeforeFirst);
    state.counters["late"] = static_cast<double>(result.Late);
    state.counters["cancelled"] = static_cast<double>(result.Cancelled);
    state.counters["stolen_ms"] = 1000.0 * result.StolenSeconds;
    state.counters["fps"] = static_cast<double>(result.Delivered) / result.WallSeconds;
    state.counters["cpu_ms_per_frame"] =
        result.Delivered != 0 ? 1000.0 * result.CpuSeconds / static_cast<double>(result.Delivered)
                              : 0.0;
    const KS_VIDEOINFOHEADER& info = AdvertisedFormat(formatIndex).VideoInfoHeader;
    char label[32];
    std::snprintf(label, sizeof(label), "%ldx%ld", static_cast<long>(info.bmiHeader.biWidth),
                  static_cast<long>(info.bmiHeader.biHeight));
    state.SetLabel(label);
}

BENCHMARK(BM_LiveVideoSoak)
    ->DenseRange(0, kCaptureFormatCount - 1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
