// Pool tags of the USB side's allocations, one per allocation site, so that a leak report
// names the site.
#pragma once

#include "platform/kernel.h"

// Device bring-up (freed before InitializeCamera returns).
constexpr ULONG kTagDeviceDescriptor = MakePoolTag("VxDd");
constexpr ULONG kTagDescriptorUrb = MakePoolTag("VxDu");
constexpr ULONG kTagConfigHeader = MakePoolTag("VxCh");
constexpr ULONG kTagConfigDescriptor = MakePoolTag("VxCd");

// Streaming transfers and raw frames (live until UninitializeCamera).
constexpr ULONG kTagTransferUrb = MakePoolTag("VxTu");
constexpr ULONG kTagTransferBuffer = MakePoolTag("VxTb");
constexpr ULONG kTagRawFrame = MakePoolTag("VxRf");

// Per-request URBs of the command protocol and the synchronous requests.
constexpr ULONG kTagCommandUrb = MakePoolTag("VxCu");
constexpr ULONG kTagStatusUrb = MakePoolTag("VxSu");
