// The 32-bit host build's records, routines and values against the platform's published
// headers: the same list (image/platform_records.h, host/image/system_exports.h) evaluated by the
// cross compiler with the platform's headers at build time and here with the host's. Any
// difference means the image and the host would read each other's records, or call each
// other's routines, wrongly.
#if defined(VEXACAM_PLATFORM_ABI_TABLE)

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string.h>
#include <string>
#include <vector>

#include "driver/device_context.h"
#include "host/image/system_exports.h"
#include "image/abi_signature.h"
#include "image/driver_records.h"
#include "image/platform_records.h"
#include "platform/registry.h"
#include "platform/strmini.h"
#include "platform/usb.h"

namespace {

enum class EntryKind { Size, Alignment, Offset, Signature, Value };

struct AbiEntry {
    EntryKind Kind;
    const char* What;
    unsigned Host;
};

#define HOST_RECORD(Type) {EntryKind::Size, #Type, sizeof(Type)}, \
                          {EntryKind::Alignment, #Type, alignof(Type)},
#define HOST_FIELD(Type, Member) \
    {EntryKind::Offset, #Type "::" #Member, static_cast<unsigned>(offsetof(Type, Member))},
#define HOST_CALLBACK(Type) {EntryKind::Signature, #Type, AbiSignature<Type>::Value},
#define HOST_VALUE(Expression) {EntryKind::Value, #Expression, static_cast<unsigned>(Expression)},
#define HOST_EXPORT(Module, Routine) \
    {EntryKind::Signature, #Routine, AbiSignature<decltype(&Routine)>::Value},

const AbiEntry kHostEntries[] = {
    VEXACAM_FOR_EACH_PLATFORM_RECORD(HOST_RECORD, HOST_FIELD, HOST_CALLBACK, HOST_VALUE)
    VEXACAM_FOR_EACH_SYSTEM_EXPORT(HOST_EXPORT)
    VEXACAM_FOR_EACH_DRIVER_RECORD(HOST_RECORD, HOST_FIELD)
};

std::vector<uint32_t> PlatformTable() {
    std::ifstream file(VEXACAM_PLATFORM_ABI_TABLE, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
    std::vector<uint32_t> words(bytes.size() / 4);
    memcpy(words.data(), bytes.data(), words.size() * 4);
    return words;
}

std::string Describe(EntryKind kind, unsigned value) {
    static const char* const kConventions[] = {"__cdecl", "__stdcall", "__fastcall", "variadic"};
    char text[96];
    switch (kind) {
        case EntryKind::Size: snprintf(text, sizeof(text), "size %u", value); break;
        case EntryKind::Alignment: snprintf(text, sizeof(text), "alignment %u", value); break;
        case EntryKind::Offset: snprintf(text, sizeof(text), "offset %u", value); break;
        case EntryKind::Value: snprintf(text, sizeof(text), "value 0x%x", value); break;
        case EntryKind::Signature:
            snprintf(text, sizeof(text), "%s, %u arguments in %u bytes, %u-byte result",
                     kConventions[value >> 28], (value >> 20) & 0xFF, (value >> 8) & 0xFFF,
                     value & 0xFF);
            break;
    }
    return text;
}

TEST(PlatformAbi, HostRecordsRoutinesAndValuesMatchThePlatformHeaders) {
    const std::vector<uint32_t> platform = PlatformTable();
    const size_t count = sizeof(kHostEntries) / sizeof(kHostEntries[0]);
    ASSERT_TRUE(platform.size() > count && platform[count] == kAbiTableEnd)
        << "the table at " << VEXACAM_PLATFORM_ABI_TABLE << " was not built from the same list";
    for (size_t i = 0; i < count; ++i) {
        const AbiEntry& entry = kHostEntries[i];
        EXPECT_EQ(entry.Host, platform[i])
            << entry.What << ": " << Describe(entry.Kind, entry.Host) << " on the host, "
            << Describe(entry.Kind, platform[i]) << " in the platform's headers";
    }
}

}  // namespace

#endif  // VEXACAM_PLATFORM_ABI_TABLE
