// One server for a test program: the driver on a simulated camera behind a CameraServer on a
// free loopback port, with a machine root and a snapshot directory of its own, and a client
// that speaks to it as a script would.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#undef DELETE  // the resolver's opcode; the platform's access right follows

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "host/files/machine_root.h"
#include "tools/serve/camera_service.h"
#include "tools/serve/web_server.h"

namespace vexacam_serve_test {

using nlohmann::json;
using vexacam::tools::CameraServer;
using vexacam::tools::ServerOptions;

inline std::string TestRoot() {
    static const std::string root = host::MakeTemporaryMachineRoot("serve");
    return root;
}

inline ServerOptions TestOptions() {
    host::SetMachineRoot(TestRoot());
    ServerOptions options;
    options.Listen.Port = 0;
    options.OutputDirectory = TestRoot() + "/snapshots";
    return options;
}

struct Reply {
    int Status = 0;
    std::string Body;
    std::string ContentType;
    json Json() const { return json::parse(Body, nullptr, false); }
};

class Client {
public:
    explicit Client(int port) : http_("127.0.0.1", port) {
        http_.set_read_timeout(20);
        http_.set_connection_timeout(5);
    }
    Reply Get(const std::string& path) { return Take(http_.Get(path)); }
    Reply Post(const std::string& path, const std::string& body, const std::string& type = "application/json") {
        return Take(http_.Post(path, body, type));
    }
    Reply Post(const std::string& path, const json& body) { return Post(path, body.dump()); }
    httplib::Client& Raw() { return http_; }

private:
    static Reply Take(const httplib::Result& result) {
        Reply reply;
        if (!result) return reply;
        reply.Status = result->status;
        reply.Body = result->body;
        reply.ContentType = result->get_header_value("Content-Type");
        return reply;
    }
    httplib::Client http_;
};

// Waits (at most Seconds) until Holds is true; the last answer.
inline bool WaitFor(const std::function<bool()>& holds, double seconds = 20) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (holds()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return holds();
}

// A server shared by the tests of one suite: bringing the driver up takes a while.
class ServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = std::make_unique<CameraServer>(TestOptions()); }
    static void TearDownTestSuite() {
        if (server_ != nullptr) {
            EXPECT_EQ(server_->Stop(), "");
        }
        server_.reset();
    }
    void SetUp() override {
        // Each test starts from a running stream at 640x480.
        Client client(Port());
        if (!client.Get("/api/stats").Json().value("connected", false)) client.Post("/api/camera", json{{"action", "bring-back"}});
        const json stats = client.Get("/api/stats").Json();
        if (stats.value("width", 0) != 640) client.Post("/api/format", json{{"width", 640}, {"height", 480}});
        client.Post("/api/stream", json{{"running", true}});
    }
    static int Port() { return server_->Port(); }
    static CameraServer& Server() { return *server_; }
    static bool FramesArrive(Client& client, uint64_t count) {
        return WaitFor([&] { return client.Get("/api/stats").Json().value("delivered", 0u) >= count; });
    }

private:
    static inline std::unique_ptr<CameraServer> server_;
};

}  // namespace vexacam_serve_test
