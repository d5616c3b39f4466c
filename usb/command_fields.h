// Single fields of the live CommandBlock, read and written while other contexts send it.
//
// Property handlers, the settings load, the stream-state handler and the frame work item
// write fields without a lock, and a send copies the block while they do. Every 32-bit field
// is aligned in the block and is read and written whole (one 32-bit access), the byte fields
// one byte each, and a send's copy goes word by word: no field goes out half old, half new.
#pragma once

#include "driver/device_context.h"
#include "usb/command_block.h"

#define COMMAND_FIELD(Field) static_cast<ULONG>(offsetof(CommandBlock, Field))

inline const ULONG& CommandWord(const DeviceContext* Device, ULONG Offset) {
    return *reinterpret_cast<const ULONG*>(reinterpret_cast<const UCHAR*>(&Device->Command) +
                                           Offset);
}

// A 32-bit field at Offset (a multiple of 4).
inline ULONG LoadCommandUlong(const DeviceContext* Device, ULONG Offset) {
    return ReadOnce(CommandWord(Device, Offset));
}

inline VOID StoreCommandUlong(DeviceContext* Device, ULONG Offset, ULONG Value) {
    WriteOnce(const_cast<ULONG&>(CommandWord(Device, Offset)), Value);
}

inline UCHAR LoadCommandByte(const DeviceContext* Device, ULONG Offset) {
    return ReadOnce(reinterpret_cast<const UCHAR*>(&Device->Command)[Offset]);
}

inline VOID StoreCommandByte(DeviceContext* Device, ULONG Offset, UCHAR Value) {
    WriteOnce(reinterpret_cast<UCHAR*>(&Device->Command)[Offset], Value);
}

// The whole block as a send carries it, copied one aligned 32-bit word at a time.
inline VOID SnapshotCommandBlock(const DeviceContext* Device, CommandBlock* Copy) {
    ULONG* Words = reinterpret_cast<ULONG*>(Copy);
    for (ULONG Offset = 0; Offset < sizeof(CommandBlock); Offset += sizeof(ULONG)) {
        Words[Offset / sizeof(ULONG)] = LoadCommandUlong(Device, Offset);
    }
}
