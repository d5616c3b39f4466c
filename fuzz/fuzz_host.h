// What every fuzzing program shares: one host per process on the manual clock, a machine root
// of its own in memory (settings and calibration files are rewritten on every run), and the
// driver loaded once. Runs must leave the host as they found it, so the next input starts from
// the same state: streams closed, adapters torn down or kept for the whole process.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "camera/simulated_camera.h"
#include "driver/adapter.h"
#include "driver/formats.h"
#include "host/files/machine_root.h"
#include "host/framework/client.h"
#include "host/framework/extension_reuse.h"
#include "host/kernel/clock.h"
#include "host/kernel/host_reset.h"
#include "host/kernel/pool.h"

namespace vexacam_fuzz {

// A two-byte gain map for every width: with none, each stream open fills a million entries
// with unity, which costs more than everything else of an input and is the calibration
// program's business. That program writes its own files for each input.
inline void PlaceShortGainMaps() {
    host::MakeDirectories(host::SystemRootPath());
    for (ULONG format = 0; format < kCaptureFormatCount; ++format) {
        const auto* range = reinterpret_cast<const KS_DATARANGE_VIDEO*>(CaptureFormats[format]);
        const std::string path = host::SystemRootPath() + "/Vexa_" +
                                 std::to_string(range->VideoInfoHeader.bmiHeader.biWidth) + ".dat";
        std::ofstream(path, std::ios::binary | std::ios::trunc).write("\x00\x10", 2);
    }
}

// The host, once per process. The driver is never unloaded: adapters kept for the whole run
// would otherwise show up as leaks at exit.
inline host::LoadedDriver& FuzzDriver() {
    static host::LoadedDriver* driver = [] {
        host::ResetHost();
        host::UseManualClock();
        host::framework::ReuseExtensionMemory(true);
        const std::string root = host::MakeTemporaryMachineRoot("fuzz", "/dev/shm");
        host::SetMachineRoot(root.empty() ? "/tmp" : root);
        PlaceShortGainMaps();
        std::unique_ptr<host::LoadedDriver> loaded;
        if (host::LoadedDriver::Load(DriverEntry, &loaded) != STATUS_SUCCESS) abort();
        return loaded.release();
    }();
    return *driver;
}

// One simulated camera and one adapter on it for the whole process, brought up at first use.
inline host::AdapterClient& FuzzAdapter() {
    static camera::SimulatedCamera* camera = new camera::SimulatedCamera();
    static std::unique_ptr<host::AdapterClient> adapter = [] {
        std::unique_ptr<host::AdapterClient> created;
        if (FuzzDriver().CreateAdapter(camera->PhysicalDeviceObject(), &created) != STATUS_SUCCESS) {
            abort();
        }
        return created;
    }();
    return *adapter;
}

// A copy of `size` bytes in a block of exactly that size, so that AddressSanitizer sees any
// read past the end the caller handed over (libFuzzer's own buffer is not aligned).
class ExactBuffer {
public:
    ExactBuffer(const void* data, size_t size) : bytes_(size) {
        if (size != 0) std::memcpy(bytes_.data(), data, size);
    }
    explicit ExactBuffer(size_t size) : bytes_(size) {}
    UCHAR* Data() { return bytes_.empty() ? nullptr : bytes_.data(); }
    ULONG Size() const { return static_cast<ULONG>(bytes_.size()); }

private:
    std::vector<UCHAR> bytes_;
};

// Either the input's own bytes, or `base` (a record the driver advertises) with a few bytes
// changed and its length moved a little: random bytes alone rarely get past the GUID checks.
inline std::vector<uint8_t> RawOrPatched(FuzzedDataProvider& input, const void* base,
                                         size_t baseSize) {
    if (input.ConsumeBool()) return input.ConsumeRemainingBytes<uint8_t>();
    const auto* bytes = static_cast<const uint8_t*>(base);
    std::vector<uint8_t> record(bytes, bytes + baseSize);
    const int patches = input.ConsumeIntegralInRange<int>(0, 8);
    for (int i = 0; i < patches; ++i) {
        const size_t at = input.ConsumeIntegralInRange<size_t>(0, baseSize - 1);
        record[at] = input.ConsumeIntegral<uint8_t>();
    }
    const int resize = input.ConsumeIntegralInRange<int>(-16, 16);
    record.resize(static_cast<size_t>(static_cast<int>(baseSize) + resize),
                  input.ConsumeIntegral<uint8_t>());
    return record;
}

// Stops the process when pool blocks of the run are still outstanding: leaks would otherwise
// surface only at unload, far from the input that caused them.
inline void CheckNoPoolGrowth(uint64_t blocksBefore) {
    if (host::GetPoolCounters().BlocksInUse != blocksBefore) {
        fprintf(stderr, "pool blocks leaked by this input: %s\n", host::PoolLeakReport().c_str());
        abort();
    }
}

}  // namespace vexacam_fuzz
