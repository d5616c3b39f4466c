// A USB camera whose video transfers the test writes by hand: each queued transfer is answered
// with exactly the length and status given, so frame building can be driven through every
// framing case. It records every CommandBlock it receives.
#pragma once

#include <cstring>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "driver/device_context.h"
#include "host/usb/usb_function.h"

namespace vexacam_test {

constexpr UCHAR kCommandEndpoint = 0x01;
constexpr UCHAR kVideoEndpoint = 0x82;
constexpr UCHAR kStatusEndpoint = 0x83;

struct ScriptedTransfer {
    ULONG Length;
    USBD_STATUS Status = USBD_STATUS_SUCCESS;
    UCHAR Fill = 0;               // every byte of the transfer...
    const UCHAR* Data = nullptr;  // ...unless it carries these bytes (kept alive by the test)
};

class ScriptedCamera : public host::usb::UsbFunction {
public:
    ScriptedCamera() { pdo_ = host::usb::CreateSimulatedUsbDevice(this); }
    ~ScriptedCamera() override { host::usb::DestroySimulatedUsbDevice(pdo_); }
    ScriptedCamera(const ScriptedCamera&) = delete;
    ScriptedCamera& operator=(const ScriptedCamera&) = delete;

    PDEVICE_OBJECT Pdo() const { return pdo_; }

    // The next transfers on the video pipe, in order; served as the driver's reads wait.
    void Send(std::initializer_list<ScriptedTransfer> transfers) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const ScriptedTransfer& t : transfers) video_.push_back(t);
        }
        host::usb::NotifyEndpointReady(pdo_, kVideoEndpoint);
    }
    void Send(ULONG length, USBD_STATUS status = USBD_STATUS_SUCCESS, UCHAR fill = 0) {
        Send({ScriptedTransfer{length, status, fill}});
    }
    // One whole frame as the camera frames it: full transfers, then the short remainder
    // (zero-length when the frame is a multiple of the transfer size).
    void SendFrame(ULONG width, ULONG height, UCHAR fill) {
        ULONG bytes = width * height;
        for (ULONG full = bytes / kTransferBytes; full > 0; --full) {
            Send(kTransferBytes, USBD_STATUS_SUCCESS, fill);
        }
        Send(bytes % kTransferBytes, USBD_STATUS_SUCCESS, fill);
    }
    // The same with the frame's own bytes, which must outlive the transfers.
    void SendFrame(const std::vector<UCHAR>& frame) {
        const ULONG bytes = static_cast<ULONG>(frame.size());
        for (ULONG at = 0; at + kTransferBytes <= bytes; at += kTransferBytes) {
            Send({ScriptedTransfer{kTransferBytes, USBD_STATUS_SUCCESS, 0, frame.data() + at}});
        }
        Send({ScriptedTransfer{bytes % kTransferBytes, USBD_STATUS_SUCCESS, 0,
                               frame.data() + bytes / kTransferBytes * kTransferBytes}});
    }

    // Forgets the transfers not yet sent.
    void DropUnsent() {
        std::lock_guard<std::mutex> lock(mutex_);
        video_.clear();
    }
    size_t TransfersNotSent() {
        std::lock_guard<std::mutex> lock(mutex_);
        return video_.size();
    }
    std::vector<CommandBlock> Commands() {
        std::lock_guard<std::mutex> lock(mutex_);
        return commands_;
    }
    // While on, every CommandBlock transfer stalls (a pipe reset does not help).
    void StallCommands(bool on) {
        std::lock_guard<std::mutex> lock(mutex_);
        stallCommands_ = on;
    }
    // Forgets the CommandBlocks received so far, so a long run's record stays bounded.
    void ForgetCommands() {
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.clear();
    }

    ULONG GetDescriptor(UCHAR type, UCHAR index, UCHAR* buffer, ULONG capacity) override {
        if (type != 1 && type != 2) return 0;
        const std::vector<UCHAR>& source = type == 1 ? DeviceDescriptor() : ConfigDescriptor();
        ULONG length = std::min<ULONG>(capacity, static_cast<ULONG>(source.size()));
        std::memcpy(buffer, source.data(), length);
        return length;
    }
    void SetConfiguration(UCHAR) override {}
    USBD_STATUS BulkOut(UCHAR endpoint, const UCHAR* data, ULONG length) override {
        if (endpoint == kCommandEndpoint && length == sizeof(CommandBlock)) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stallCommands_) return USBD_STATUS_STALL_PID;
            CommandBlock block;
            std::memcpy(&block, data, sizeof(block));
            commands_.push_back(block);
        }
        return USBD_STATUS_SUCCESS;
    }
    host::usb::InTransferResult BulkIn(UCHAR endpoint, UCHAR* buffer, ULONG capacity) override {
        host::usb::InTransferResult result;
        if (endpoint == kStatusEndpoint) {
            std::memset(buffer, 0, std::min<ULONG>(capacity, sizeof(StatusBlock)));
            return {true, USBD_STATUS_SUCCESS, std::min<ULONG>(capacity, sizeof(StatusBlock))};
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (endpoint != kVideoEndpoint || video_.empty()) return result;
        ScriptedTransfer next = video_.front();
        video_.pop_front();
        ULONG length = std::min(next.Length, capacity);
        if (next.Data != nullptr) {
            std::memcpy(buffer, next.Data, length);
        } else {
            std::memset(buffer, next.Fill, length);
        }
        return {true, next.Status, length};
    }
    void ResetEndpoint(UCHAR) override {}
    void ResetPort() override {}

private:
    static const std::vector<UCHAR>& DeviceDescriptor() {
        static const std::vector<UCHAR> descriptor = {18, 1, 0x00, 0x02, 0xFF, 0, 0, 64, 0x34,
                                                      0x12, 0x78, 0x56, 0x00, 0x01, 0, 0, 0, 1};
        return descriptor;
    }
    static const std::vector<UCHAR>& ConfigDescriptor() {
        static const std::vector<UCHAR> descriptor = {
            9, 2, 39, 0, 1, 1, 0, 0x80, 50,                     // configuration
            9, 4, 0, 0, 3, 0xFF, 0, 0, 0,                       // interface, three endpoints
            7, 5, kCommandEndpoint, 2, 0x00, 0x02, 0,           // bulk OUT: CommandBlock
            7, 5, kVideoEndpoint, 2, 0x00, 0x02, 0,             // bulk IN: video
            7, 5, kStatusEndpoint, 2, 0x00, 0x02, 0};           // bulk IN: StatusBlock
        return descriptor;
    }

    PDEVICE_OBJECT pdo_ = nullptr;
    std::mutex mutex_;
    std::deque<ScriptedTransfer> video_;
    std::vector<CommandBlock> commands_;
    bool stallCommands_ = false;
};

}  // namespace vexacam_test
