// The camera's two protocol blocks: the 48-byte CommandBlock that carries every camera
// parameter on the bulk OUT pipe, and the 64-byte StatusBlock read back on the status pipe.
// Both are sent and received as they lie in memory, so their layouts are pinned here. Every
// field lies at its natural alignment, so each 32-bit field can be read and written whole.
#pragma once

#include "platform/types.h"

struct CommandBlock {
    USHORT BlockLength;   // 44, written at initialization only
    UCHAR CommandCode;    // 14 apply, 3 read window, 4 write window, 5 read value
    UCHAR Reserved3;
    ULONG Fixed;          // always 1
    ULONG Reserved8;
    ULONG Reserved12;
    ULONG FrameHeight;    // rows delivered per frame
    ULONG FrameWidth;     // pixels per row
    ULONG WindowX;        // first sensor column of the read-out window
    ULONG WindowY;        // first sensor row of the read-out window
    ULONG Exposal;        // exposure value
    UCHAR AllGain[3];     // analog gain, the same value in all three bytes
    UCHAR Control;        // bits 0..1 read-out mode, bit 2 camera flag
    UCHAR RunCode;        // 14 run, 254 stop
    UCHAR OptionA;
    UCHAR OptionB;
    UCHAR Reserved43;
    ULONG OptionValue;
};

struct StatusBlock {
    UCHAR Bytes[64];
};

static_assert(sizeof(CommandBlock) == 48, "CommandBlock is 48 bytes on the wire");
static_assert(alignof(CommandBlock) == 4, "whole 32-bit fields need an aligned block");
static_assert(offsetof(CommandBlock, CommandCode) == 2);
static_assert(offsetof(CommandBlock, Fixed) == 4);
static_assert(offsetof(CommandBlock, FrameHeight) == 16);
static_assert(offsetof(CommandBlock, FrameWidth) == 20);
static_assert(offsetof(CommandBlock, WindowX) == 24);
static_assert(offsetof(CommandBlock, WindowY) == 28);
static_assert(offsetof(CommandBlock, Exposal) == 32);
static_assert(offsetof(CommandBlock, AllGain) == 36);
static_assert(offsetof(CommandBlock, Control) == 39);
static_assert(offsetof(CommandBlock, RunCode) == 40);
static_assert(offsetof(CommandBlock, OptionA) == 41);
static_assert(offsetof(CommandBlock, OptionB) == 42);
static_assert(offsetof(CommandBlock, OptionValue) == 44);
static_assert(sizeof(StatusBlock) == 64, "StatusBlock is 64 bytes on the wire");

// CommandCode values.
constexpr UCHAR kCommandApply = 14;
constexpr UCHAR kCommandReadWindow = 3;
constexpr UCHAR kCommandWriteWindow = 4;
constexpr UCHAR kCommandReadValue = 5;

// RunCode values.
constexpr UCHAR kRunCodeRun = 14;
constexpr UCHAR kRunCodeStop = 254;

// The sensor area that window offsets are placed in.
constexpr ULONG kSensorWidth = 2048;
constexpr ULONG kSensorHeight = 1536;

struct DeviceContext;

// Sends the whole live CommandBlock on the CommandBlock pipe and waits for it (passive level).
// Returns the transfer's status: a failure (a stall survives one pipe reset and retry, or the
// camera did not answer in time) means the camera did not get the block.
NTSTATUS SendCommandBlock(DeviceContext* Device);
// Reads the StatusBlock from the status pipe into Device->Status; nothing without that pipe.
NTSTATUS ReadStatusBlock(DeviceContext* Device);
