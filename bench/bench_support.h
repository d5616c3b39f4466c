// Shared pieces of the benchmark programs: frame sizes, random frames and the memcpy yardstick.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/cpu_features.h"

namespace vexacam::bench {

inline std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed = 1) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(count);
    for (auto& byte : bytes) byte = static_cast<uint8_t>(generator());
    return bytes;
}

// The two sizes every figure is taken at: the largest and the smallest advertised format.
inline void FrameSizes(benchmark::internal::Benchmark* b) {
    b->Args({2048, 1536})->Args({640, 480})->Unit(benchmark::kMicrosecond);
}

// memcpy of a 24-bit picture of the size: the yardstick the targets are set against.
inline void BM_MemcpyOfPicture(benchmark::State& state) {
    const size_t bytes = size_t(state.range(0)) * state.range(1) * 3;
    std::vector<uint8_t> from = RandomBytes(bytes), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

// Levels to measure: scalar, then each vector level the CPU has.
inline void ForEachLevel(void (*body)(benchmark::State&, VECTOR_LEVEL), const char* name) {
    for (int level = VectorLevelScalar; level <= DetectedVectorLevel(); ++level) {
        const auto vectorLevel = static_cast<VECTOR_LEVEL>(level);
        std::string label = std::string(name) + "/" + VectorLevelName(vectorLevel);
        benchmark::RegisterBenchmark(label.c_str(), body, vectorLevel)->Apply(FrameSizes);
    }
}

}  // namespace vexacam::bench
