#include "camera/command_bytes.h"

namespace camera {
namespace {

uint32_t Le32(const uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t{bytes[3]} << 24;
}

void PutLe32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

CommandBlock DecodeCommandBlock(const uint8_t* bytes) {
    CommandBlock block;
    block.BlockLength = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    block.CommandCode = bytes[2];
    block.FrameHeight = Le32(bytes + 16);
    block.FrameWidth = Le32(bytes + 20);
    block.WindowX = Le32(bytes + 24);
    block.WindowY = Le32(bytes + 28);
    block.Exposal = Le32(bytes + 32);
    for (int i = 0; i < 3; ++i) block.AllGain[i] = bytes[36 + i];
    block.Control = bytes[39];
    block.RunCode = bytes[40];
    block.OptionA = bytes[41];
    block.OptionB = bytes[42];
    block.OptionValue = Le32(bytes + 44);
    return block;
}

void EncodeCommandBlock(const CommandBlock& block, uint8_t* bytes) {
    for (size_t i = 0; i < kCommandBlockBytes; ++i) bytes[i] = 0;
    bytes[0] = static_cast<uint8_t>(block.BlockLength);
    bytes[1] = static_cast<uint8_t>(block.BlockLength >> 8);
    bytes[2] = block.CommandCode;
    bytes[4] = 1;
    PutLe32(bytes + 16, block.FrameHeight);
    PutLe32(bytes + 20, block.FrameWidth);
    PutLe32(bytes + 24, block.WindowX);
    PutLe32(bytes + 28, block.WindowY);
    PutLe32(bytes + 32, block.Exposal);
    for (int i = 0; i < 3; ++i) bytes[36 + i] = block.AllGain[i];
    bytes[39] = block.Control;
    bytes[40] = block.RunCode;
    bytes[41] = block.OptionA;
    bytes[42] = block.OptionB;
    PutLe32(bytes + 44, block.OptionValue);
}

}  // namespace camera
