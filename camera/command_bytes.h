// The camera's own reading of the bytes it receives: the 48-byte parameter block on the
// command endpoint and the 64-byte reply it keeps for the status endpoint. Decoded from the
// bytes at their offsets (little-endian), so that a layout mistake on the host's side shows up
// as a camera that does the wrong thing, not as two sides agreeing on the same mistake.
#pragma once

#include <cstddef>
#include <cstdint>

namespace camera {

constexpr size_t kCommandBlockBytes = 48;
constexpr size_t kStatusBlockBytes = 64;

// The fields of a received parameter block.
struct CommandBlock {
    uint16_t BlockLength = 0;   // bytes 0..1
    uint8_t CommandCode = 0;    // byte 2: 14 apply, 3 read window, 4 write window, 5 read value
    uint32_t FrameHeight = 0;   // bytes 16..19
    uint32_t FrameWidth = 0;    // bytes 20..23
    uint32_t WindowX = 0;       // bytes 24..27
    uint32_t WindowY = 0;       // bytes 28..31
    uint32_t Exposal = 0;       // bytes 32..35
    uint8_t AllGain[3] = {};    // bytes 36..38
    uint8_t Control = 0;        // byte 39: bits 0..1 read-out mode
    uint8_t RunCode = 0;        // byte 40: 14 run, 254 stop
    uint8_t OptionA = 0;        // byte 41
    uint8_t OptionB = 0;        // byte 42
    uint32_t OptionValue = 0;   // bytes 44..47
};

struct StatusBlock {
    uint8_t Bytes[kStatusBlockBytes] = {};
};

constexpr uint8_t kCommandApply = 14;
constexpr uint8_t kCommandReadWindow = 3;
constexpr uint8_t kCommandWriteWindow = 4;
constexpr uint8_t kCommandReadValue = 5;
constexpr uint8_t kRunCodeRun = 14;
constexpr uint8_t kRunCodeStop = 254;

// Reads the fields of a block of kCommandBlockBytes bytes.
CommandBlock DecodeCommandBlock(const uint8_t* bytes);
// Writes a block's bytes (reserved bytes zero, byte 4 one), for tests that play the host.
void EncodeCommandBlock(const CommandBlock& block, uint8_t* bytes);

}  // namespace camera
