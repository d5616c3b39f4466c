// Colour and tone stages, each at the scalar level and at every vector level of this machine,
// beside a memcpy of the 24-bit output of the same frame size.
//
// Each iteration starts from the same frame (restored outside the timed region) so that an
// in-place stage never sees its own saturated output.
#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "imaging/colour_gains.h"
#include "imaging/contrast.h"
#include "imaging/cpu_features.h"
#include "imaging/stage_bodies.h"
#include "imaging/flat_field.h"
#include "imaging/gain_table.h"
#include "imaging/saturation.h"
#include "imaging/tone_table.h"

namespace {

struct BenchSize {
    ULONG Width;
    ULONG Height;
};
constexpr BenchSize kSizes[] = {{2048, 1536}, {640, 480}};

std::vector<UCHAR> NoisyScene(size_t Count, unsigned Seed) {
    std::mt19937 Random(Seed);
    std::vector<UCHAR> Bytes(Count);
    // A smooth gradient with noise, like a real raw frame: neither flat nor white noise.
    for (size_t Index = 0; Index < Count; ++Index) {
        Bytes[Index] = static_cast<UCHAR>(40 + (Index / 7) % 160 + Random() % 24);
    }
    return Bytes;
}

// Times Stage on Frame, restoring Frame from Pristine before each run.
void TimeInPlace(benchmark::State& State, const std::vector<UCHAR>& Pristine,
                 const std::function<void(PUCHAR)>& Stage) {
    SelectStageBodies(static_cast<VECTOR_LEVEL>(State.range(1)));
    std::vector<UCHAR> Frame = Pristine;
    for (auto _ : State) {
        State.PauseTiming();
        std::memcpy(Frame.data(), Pristine.data(), Pristine.size());
        State.ResumeTiming();
        Stage(Frame.data());
        benchmark::ClobberMemory();
    }
    SelectStageBodies(VectorLevelAvx512);
    State.SetLabel(VectorLevelName(ActiveStageBodies().Level < State.range(1)
                                       ? ActiveStageBodies().Level
                                       : static_cast<VECTOR_LEVEL>(State.range(1))));
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * Pristine.size()));
}

BenchSize SizeOf(const benchmark::State& State) { return kSizes[State.range(0)]; }

size_t Pixels(BenchSize Size) { return size_t{Size.Width} * Size.Height; }

void BM_OutputMemcpy(benchmark::State& State) {
    const BenchSize Size = SizeOf(State);
    std::vector<UCHAR> Source(Pixels(Size) * 3, 1), Target(Pixels(Size) * 3);
    for (auto _ : State) {
        std::memcpy(Target.data(), Source.data(), Source.size());
        benchmark::ClobberMemory();
    }
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * Source.size()));
}

void BM_FlatField(benchmark::State& State) {
    const BenchSize Size = SizeOf(State);
    std::vector<SHORT> Gains(Pixels(Size));
    std::mt19937 Random(7);
    for (auto& Gain : Gains) Gain = static_cast<SHORT>(56 + Random() % 17);
    TimeInPlace(State, NoisyScene(Pixels(Size), 1), [&](PUCHAR Frame) {
        ApplyFlatField(Size.Width, Size.Height, Frame, Gains.data(), static_cast<ULONG>(Gains.size()));
    });
}

void Contrast(benchmark::State& State, UCHAR Setting, ULONG Type) {
    const BenchSize Size = SizeOf(State);
    TimeInPlace(State, NoisyScene(Pixels(Size), 2), [&](PUCHAR Frame) {
        AdjustContrast(Size.Width, Size.Height, Frame, Frame, Setting, Type);
    });
}
void BM_ContrastOnly(benchmark::State& State) { Contrast(State, 20, ColourAdjustNone); }
void BM_ContrastGreenEmphasis(benchmark::State& State) { Contrast(State, 20, ColourAdjustGreenEmphasis); }
void BM_ContrastSeparateColours(benchmark::State& State) { Contrast(State, 20, ColourAdjustSeparate); }

void BM_Saturation(benchmark::State& State) {
    const BenchSize Size = SizeOf(State);
    TimeInPlace(State, NoisyScene(Pixels(Size) * 3, 3), [&](PUCHAR Picture) {
        AdjustSaturation(Picture, Size.Width, Size.Height, 12);
    });
}

void BM_ColourGains(benchmark::State& State) {
    const BenchSize Size = SizeOf(State);
    UCHAR Red[256], Green[256], Blue[256];
    SetGain(Red, 620);
    SetGain(Green, 500);
    SetGain(Blue, 710);
    TimeInPlace(State, NoisyScene(Pixels(Size), 4), [&](PUCHAR Frame) {
        ApplyColourGains(Size.Width, Size.Height, Frame, Red, Green, Blue);
    });
}

void BM_ToneTable(benchmark::State& State) {
    const BenchSize Size = SizeOf(State);
    UCHAR Tone[256];
    for (int Index = 0; Index < 256; ++Index) Tone[Index] = static_cast<UCHAR>(255 - Index);
    TimeInPlace(State, NoisyScene(Pixels(Size), 5), [&](PUCHAR Frame) {
        ApplyToneTable(2.0, Size.Width, Size.Height, Frame, Tone);
    });
}

// Arguments: size index, vector level (scalar up to what the CPU has).
void SizesAndLevels(benchmark::internal::Benchmark* Bench) {
    for (int64_t SizeIndex = 0; SizeIndex < 2; ++SizeIndex) {
        for (int64_t Level = VectorLevelScalar; Level <= DetectedVectorLevel(); ++Level) {
            Bench->Args({SizeIndex, Level});
        }
    }
    Bench->ArgNames({"size", "level"})->Unit(benchmark::kMicrosecond)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_OutputMemcpy)->DenseRange(0, 1)->ArgName("size")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlatField)->Apply(SizesAndLevels);
BENCHMARK(BM_ContrastOnly)->Apply(SizesAndLevels);
BENCHMARK(BM_ContrastGreenEmphasis)->Apply(SizesAndLevels);
BENCHMARK(BM_ContrastSeparateColours)->Apply(SizesAndLevels);
BENCHMARK(BM_Saturation)->Apply(SizesAndLevels);
BENCHMARK(BM_ColourGains)->Apply(SizesAndLevels);
BENCHMARK(BM_ToneTable)->Apply(SizesAndLevels);

BENCHMARK_MAIN();
