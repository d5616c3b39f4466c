// Pool tags of the USB side's allocations, one per allocation site, so that a leak report
// names the site. A tag reads as its four characters in a pool dump (first character lowest).
#pragma once

#include "platform/types.h"

constexpr ULONG MakePoolTag(const char (&Text)[5]) {
    return static_cast<ULONG>(static_cast<UCHAR>(Text[0])) |
           static_cast<ULONG>(static_cast<UCHAR>(Text[1])) << 8 |
           static_cast<ULONG>(static_cast<UCHAR>(Text[2])) << 16 |
           static_cast<ULONG>(static_cast<UCHAR>(Text[3])) << 24;
}

// Device bring-up (freed before InitializeCamera returns).
constexpr ULONG kTagDeviceDescriptor = MakePoolTag("VxDd");
constexpr ULONG kTagDescriptorUrb = MakePoolTag("VxDu");
constexpr ULONG kTagConfigHeader = MakePoolTag("VxCh");
constexpr ULONG kTagConfigDescriptor = MakePoolTag("VxCd");

// Streaming transfers and raw frames (live until UninitializeCamera).
constexpr ULONG kTagTransferUrb = MakePoolTag("VxTu");
constexpr ULONG kTagTransferBuffer = MakePoolTag("VxTb");
constexpr ULONG kTagRawFrame = MakePoolTag("VxRf");

// Image-pipeline tables (live until UninitializeCamera).
constexpr ULONG kTagGainMap = MakePoolTag("VxGm");
constexpr ULONG kTagRedGain = MakePoolTag("VxGr");
constexpr ULONG kTagGreenGain = MakePoolTag("VxGg");
constexpr ULONG kTagBlueGain = MakePoolTag("VxGb");
constexpr ULONG kTagToneTable = MakePoolTag("VxTt");
constexpr ULONG kTagLogTable = MakePoolTag("VxLt");
constexpr ULONG kTagGammaTable = MakePoolTag("VxGt");

// Per-request URBs of the command protocol and the synchronous requests.
constexpr ULONG kTagCommandUrb = MakePoolTag("VxCu");
constexpr ULONG kTagStatusUrb = MakePoolTag("VxSu");
