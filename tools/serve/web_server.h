// `vexacam serve`'s server: the camera service, the page, the motion JPEG preview and the JSON
// API on one HTTP server. Loopback only unless told otherwise; small JSON bodies only for
// changes; every request answered from what the program holds, never from a path it names.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "tools/capture_session.h"
#include "tools/serve/preview_encoder.h"

namespace httplib {
class Server;
}

namespace vexacam::tools {

class CameraService;
class SnapshotStore;

struct ListenAddress {
    std::string Host = "127.0.0.1";
    int Port = 8570;
};

// "HOST:PORT" ("[::1]:PORT" for IPv6); port 0 takes any free one. A bad text ends the command
// (status 2).
ListenAddress ParseListenAddress(const std::string& text);
// 127.0.0.0/8, ::1 and localhost.
bool IsLoopback(const std::string& host);

struct ServerOptions {
    ListenAddress Listen;
    SessionOptions Session;
    PreviewSize Preview;
    std::string OutputDirectory = "captures";
};

// Bodies of changes are small JSON objects; anything longer is refused unread.
constexpr size_t kBodyLimit = 4096;
// Preview streams at once; more are refused so they cannot take every worker.
constexpr size_t kMaxViewers = 16;

class CameraServer {
public:
    // Brings the camera up and binds the address; failures end the command (CommandFailure).
    // Requests are answered from then on, on the server's own threads.
    explicit CameraServer(const ServerOptions& options);
    ~CameraServer();  // Stop
    CameraServer(const CameraServer&) = delete;
    CameraServer& operator=(const CameraServer&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:8570/"
    std::string Address() const;
    CameraService& Camera() { return *camera_; }

    // Ends the viewers' streams, stops answering, then stops the stream and shuts the driver
    // down, which saves the settings. "" or the first problem.
    std::string Stop();

private:
    void AddRoutes();

    ServerOptions options_;
    std::unique_ptr<CameraService> camera_;
    std::unique_ptr<SnapshotStore> snapshots_;
    std::unique_ptr<httplib::Server> http_;
    int port_ = 0;
    std::thread listener_;
    bool stopped_ = false;
    std::string stopProblem_;
};

}  // namespace vexacam::tools
