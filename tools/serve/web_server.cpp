#include "tools/serve/web_server.h"

#include <arpa/inet.h>

#include <httplib.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "tools/command.h"
#include "tools/serve/api_routes.h"
#include "tools/serve/camera_service.h"
#include "tools/serve/page_assets.h"
#include "tools/serve/snapshot_store.h"

namespace vexacam::tools {
namespace {

constexpr const char* kBoundary = "vexacamframe";
// A viewer waiting for a picture looks this often whether the server is stopping.
constexpr int kViewerWaitMs = 250;

void RefuseWithJson(httplib::Response& response, int status, const std::string& message) {
    response.status = status;
    response.set_content(nlohmann::json{{"error", message}}.dump(), "application/json");
}

bool IsJsonType(const std::string& type) {
    const std::string expected = "application/json";
    return type.compare(0, expected.size(), expected) == 0 &&
           (type.size() == expected.size() || type[expected.size()] == ';');
}

}  // namespace

ListenAddress ParseListenAddress(const std::string& text) {
    ListenAddress address;
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
        FailUsage("--listen must be HOST:PORT, such as 127.0.0.1:8570; got '" + text + "'");
    }
    address.Host = text.substr(0, colon);
    if (address.Host.size() > 2 && address.Host.front() == '[' && address.Host.back() == ']') {
        address.Host = address.Host.substr(1, address.Host.size() - 2);
    }
    const std::string port = text.substr(colon + 1);
    char* end = nullptr;
    const long number = std::strtol(port.c_str(), &end, 10);
    if (port.size() > 5 || *end != '\0' || port[0] == '-' || port[0] == '+' || number < 0 || number > 65535) {
        FailUsage("--listen: the port must be 0..65535, not '" + port + "'");
    }
    address.Port = static_cast<int>(number);
    return address;
}

bool IsLoopback(const std::string& host) {
    if (host == "localhost" || host == "::1") return true;
    in_addr address{};
    return inet_pton(AF_INET, host.c_str(), &address) == 1 && (ntohl(address.s_addr) >> 24) == 127;
}

CameraServer::CameraServer(const ServerOptions& options)
    : options_(options),
      camera_(std::make_unique<CameraService>(options.Session, options.Preview, options.OutputDirectory)),
      snapshots_(std::make_unique<SnapshotStore>(options.OutputDirectory)),
      http_(std::make_unique<httplib::Server>()) {
    http_->set_payload_max_length(kBodyLimit);
    http_->set_read_timeout(5);
    http_->set_keep_alive_timeout(2);
    // Each preview stream holds a worker for as long as it is watched.
    http_->new_task_queue = [] { return new httplib::ThreadPool(kMaxViewers + 8); };
    AddRoutes();
    const ListenAddress& listen = options.Listen;
    port_ = listen.Port == 0 ? http_->bind_to_any_port(listen.Host) : (http_->bind_to_port(listen.Host, listen.Port) ? listen.Port : -1);
    if (port_ < 0) {
        camera_->Shutdown();
        FailRuntime("cannot listen on " + listen.Host + ":" + std::to_string(listen.Port) +
                    " (in use, or not an address of this machine)");
    }
    listener_ = std::thread([this] { http_->listen_after_bind(); });
    // stop() does nothing to a server that has not begun to listen: wait until it has.
    for (int tries = 0; tries < 5000 && !http_->is_running(); ++tries) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

CameraServer::~CameraServer() { Stop(); }

std::string CameraServer::Address() const {
    const std::string& host = options_.Listen.Host;
    const bool ipv6 = host.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port_) + "/";
}

std::string CameraServer::Stop() {
    if (stopped_) return stopProblem_;
    stopped_ = true;
    camera_->Hub().Stop();  // the viewers' streams end
    http_->stop();
    if (listener_.joinable()) listener_.join();
    stopProblem_ = camera_->Shutdown();
    return stopProblem_;
}

void CameraServer::AddRoutes() {
    httplib::Server& http = *http_;
    // Changes come as JSON only: a page elsewhere cannot send that without the browser asking
    // this server first, and a plain form post is refused.
    http.set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
        if (request.method != "GET" && request.method != "POST") {
            RefuseWithJson(response, 405, request.method + " is not taken here");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (request.method == "POST" && !IsJsonType(request.get_header_value("Content-Type"))) {
            RefuseWithJson(response, 415, "changes are sent as application/json");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    http.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return;
        const std::string reason = response.status == 413   ? "the body is too long"
                                   : response.status == 404 ? "nothing here"
                                                            : "request refused (HTTP " + std::to_string(response.status) + ")";
        RefuseWithJson(response, response.status, reason);
    });
    http.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
        RefuseWithJson(response, 500, "the request failed");
    });

    http.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Cache-Control", "no-store");
        response.set_content(PageHtml(), "text/html; charset=utf-8");
    });
    http.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& response) { response.status = 204; });
    http.Get("/preview.mjpg", [this](const httplib::Request&, httplib::Response& response) {
        PreviewHub& hub = camera_->Hub();
        if (!hub.AddViewer(kMaxViewers)) {
            RefuseWithJson(response, 503, "too many preview streams at once");
            return;
        }
        auto sent = std::make_shared<uint64_t>(0);
        response.set_header("Cache-Control", "no-store");
        response.set_chunked_content_provider(
            std::string("multipart/x-mixed-replace; boundary=") + kBoundary,
            [&hub, sent](size_t, httplib::DataSink& sink) {
                PreviewFrame frame;
                if (!hub.WaitForFrame(*sent, kViewerWaitMs, &frame)) return !hub.Stopped();
                *sent = frame.Sequence;
                const std::string head = std::string("--") + kBoundary + "\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                                         std::to_string(frame.Jpeg->size()) + "\r\n\r\n";
                return sink.write(head.data(), head.size()) && sink.write(frame.Jpeg->data(), frame.Jpeg->size()) &&
                       sink.write("\r\n", 2);
            },
            [&hub](bool) { hub.RemoveViewer(); });
    });
    AddApiRoutes(http, *camera_, *snapshots_);
}

}  // namespace vexacam::tools
