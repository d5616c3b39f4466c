// Device property requests from a thread of their own while the campaign's main thread drives
// the stream and the clock: the race between an application's settings and the frame path.
// Gets and sets of random items of the driver's own device property sets, with values mostly
// in range and now and then anything at all.
#pragma once

#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "host/framework/client.h"

namespace campaign {

class PropertyBurst {
public:
    PropertyBurst(host::AdapterClient& adapter, uint32_t seed, int count)
        : adapter_(adapter), rng_(seed), count_(count), thread_([this] { Send(); }) {}
    ~PropertyBurst() { Join(); }
    PropertyBurst(const PropertyBurst&) = delete;
    PropertyBurst& operator=(const PropertyBurst&) = delete;

    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    uint64_t Requests() const { return static_cast<uint64_t>(count_); }

private:
    void Send() {
        const HW_STREAM_HEADER& header = adapter_.StreamHeader();
        for (int i = 0; i < count_; ++i) {
            const KSPROPERTY_SET& set =
                header.DevicePropertiesArray[Index(header.NumDevPropArrayEntries)];
            const KSPROPERTY_ITEM& item = set.PropertyItem[Index(set.PropertiesCount)];
            std::vector<uint64_t> data((item.MinData + 7) / 8 + 1, 0);
            FillValue(data.data(), item.MinData);
            host::PropertyCall call{*set.Set, item.PropertyId, data.data(), item.MinData,
                                    item.MinProperty};
            if (item.SetSupported && Between(0, 1) == 0) {
                adapter_.SetProperty(call);
            } else {
                adapter_.GetProperty(call);
            }
        }
    }

    // The value fields lie past the leading KSPROPERTY for the *_S records; a bare ULONG
    // otherwise. Small values switch features on and off, large ones probe the limits.
    void FillValue(void* data, ULONG size) {
        auto* bytes = static_cast<UCHAR*>(data);
        const ULONG first = size > sizeof(KSPROPERTY) ? sizeof(KSPROPERTY) : 0;
        for (ULONG at = first; at + sizeof(ULONG) <= size; at += sizeof(ULONG)) {
            ULONG value;
            switch (Between(0, 3)) {
            case 0: value = static_cast<ULONG>(Between(0, 2)); break;
            case 1: value = static_cast<ULONG>(Between(0, 6000)); break;
            case 2: value = static_cast<ULONG>(rng_()); break;
            default: value = static_cast<ULONG>(Between(1, 64)); break;
            }
            std::memcpy(bytes + at, &value, sizeof(value));
        }
    }

    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    ULONG Index(ULONG count) { return static_cast<ULONG>(Between(0, static_cast<int>(count) - 1)); }

    host::AdapterClient& adapter_;
    std::mt19937 rng_;
    const int count_;
    std::thread thread_;  // last: starts once the fields above exist
};

}  // namespace campaign
