// The preview: scaling into the preview size, the JPEGs the viewers get, and viewers that do
// not keep up losing pictures for themselves only.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "server_fixture.h"
#include "tools/machine_registry.h"
#include "tools/serve/preview_encoder.h"
#include "tools/serve/preview_hub.h"

namespace vexacam_serve_test {
namespace {

using vexacam::tools::BufferPool;
using vexacam::tools::FitPreview;
using vexacam::tools::PreviewFrame;
using vexacam::tools::PreviewHub;
using vexacam::tools::PreviewSize;

TEST(FitPreview, KeepsAspectAndNeverEnlarges) {
    struct Case {
        uint32_t Width, Height;
        PreviewSize Limit;
        uint32_t ShownWidth, ShownHeight;
        const char* Why;
    } cases[] = {
        {640, 480, {640, 480}, 640, 480, "fits already"},
        {320, 240, {640, 480}, 320, 240, "smaller than the limit: not enlarged"},
        {2048, 1536, {640, 480}, 640, 480, "same aspect, scaled down"},
        {1280, 1024, {640, 480}, 600, 480, "taller aspect: height limits"},
        {2048, 1536, {800, 800}, 800, 600, "wider aspect: width limits"},
        {2048, 1536, {1, 1}, 1, 1, "never below one pixel"},
        {2048, 2, {640, 480}, 640, 1, "a thin picture keeps a row"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        const PreviewSize shown = FitPreview(c.Width, c.Height, c.Limit);
        EXPECT_EQ(shown.Width, c.ShownWidth);
        EXPECT_EQ(shown.Height, c.ShownHeight);
    }
}

// Width and height of a JPEG as TurboJPEG reads its header.
std::pair<int, int> JpegSize(const std::string& jpeg) {
    tjhandle handle = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    tjDecompressHeader3(handle, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(), &width, &height,
                        &subsampling, &colourspace);
    tjDestroy(handle);
    return {width, height};
}

std::vector<uint8_t> Picture(uint32_t width, uint32_t height, uint8_t level) {
    return std::vector<uint8_t>(static_cast<size_t>(width) * height * 3, level);
}

TEST(PreviewHub, EncodesTheNewestPictureAtThePreviewSize) {
    BufferPool pool;
    PreviewHub hub(pool, {640, 480});
    ASSERT_TRUE(hub.AddViewer(4));
    std::vector<uint8_t> pixels = Picture(2048, 1536, 200);
    hub.Offer(pixels, 2048, 1536);
    EXPECT_TRUE(pixels.empty());  // taken, not copied
    PreviewFrame frame;
    ASSERT_TRUE(hub.WaitForFrame(0, 10000, &frame));
    EXPECT_EQ(JpegSize(*frame.Jpeg), std::make_pair(640, 480));
    // Every shown pixel is 200: all in bin 200 / 4 of each channel.
    const auto figures = hub.Figures();
    for (const auto& channel : figures.Histogram) EXPECT_EQ(channel[200 / 4], 640u * 480u);
    vexacam::tools::FullPicture newest;
    ASSERT_TRUE(hub.CopyNewest(&newest));
    EXPECT_EQ(newest.Width, 2048u);
    EXPECT_EQ(hub.Figures().Encoded, 1u);
    // Another format: the encoder's figures start again, of the new size alone.
    pixels = Picture(640, 480, 100);
    hub.Offer(pixels, 640, 480);
    ASSERT_TRUE(hub.WaitForFrame(frame.Sequence, 10000, &frame));
    EXPECT_EQ(hub.Figures().Encoded, 1u);
    hub.RemoveViewer();
}

TEST(PreviewHub, ViewerThatNeverTakesHoldsUpNoOffer) {
    BufferPool pool;
    PreviewHub hub(pool, {64, 48});
    ASSERT_TRUE(hub.AddViewer(4));  // registered, never waits for a frame
    ASSERT_TRUE(hub.AddViewer(4));  // keeps up
    uint64_t seen = 0;
    int taken = 0;
    for (int offer = 0; offer < 50; ++offer) {
        std::vector<uint8_t> pixels = Picture(64, 48, static_cast<uint8_t>(offer));
        hub.Offer(pixels, 64, 48);
        PreviewFrame frame;
        if (hub.WaitForFrame(seen, 10000, &frame)) {
            EXPECT_GT(frame.Sequence, seen);
            seen = frame.Sequence;
            ++taken;
        }
    }
    EXPECT_EQ(taken, 50);  // each offer waited for: none lost for the one that keeps up
}

TEST(PreviewHub, LimitsViewersAndWakesThemWhenStopped) {
    BufferPool pool;
    PreviewHub hub(pool, {64, 48});
    EXPECT_TRUE(hub.AddViewer(1));
    EXPECT_FALSE(hub.AddViewer(1));
    std::atomic<bool> woke{false};
    std::thread waiting([&] {
        PreviewFrame frame;
        while (hub.WaitForFrame(0, 100, &frame) || !hub.Stopped()) {}
        woke = true;
    });
    hub.Stop();
    waiting.join();
    EXPECT_TRUE(woke);
}

// A connection that asks for the preview and then reads nothing.
class StalledViewer {
public:
    explicit StalledViewer(int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        int small = 4096;
        setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        const std::string request = "GET /preview.mjpg HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        connected_ = connected_ && ::send(socket_, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size());
    }
    ~StalledViewer() { ::close(socket_); }
    bool Connected() const { return connected_; }

private:
    int socket_;
    bool connected_ = false;
};

class PreviewStreamTest : public ServerTest {};

// Reads the preview stream until Parts JPEGs came; their sizes in bytes.
std::vector<size_t> ReadParts(Client& client, size_t parts) {
    std::vector<size_t> sizes;
    std::string pending;
    client.Raw().Get("/preview.mjpg", [&](const char* data, size_t length) {
        pending.append(data, length);
        size_t at;
        while ((at = pending.find("Content-Length: ")) != std::string::npos) {
            const size_t end = pending.find("\r\n\r\n", at);
            if (end == std::string::npos) break;
            const size_t bytes = std::stoul(pending.substr(at + 16, end - at - 16));
            if (pending.size() < end + 4 + bytes) break;
            EXPECT_EQ(pending.substr(end + 4, 2), "\xFF\xD8");  // a JPEG's start
            sizes.push_back(bytes);
            pending.erase(0, end + 4 + bytes);
        }
        return sizes.size() < parts;
    });
    return sizes;
}

TEST_F(PreviewStreamTest, StalledViewerLosesPicturesForItselfOnly) {
    Client client(Port());
    StalledViewer stalled(Port());
    ASSERT_TRUE(stalled.Connected());
    ASSERT_TRUE(WaitFor([&] { return client.Get("/api/stats").Json()["viewers"] == 1; }));
    const uint64_t before = client.Get("/api/stats").Json()["delivered"];
    EXPECT_EQ(ReadParts(client, 10).size(), 10u);
    EXPECT_EQ(ReadParts(client, 3).size(), 3u);  // and a second viewer after it
    // The figures are brought up to date twice a second.
    EXPECT_TRUE(WaitFor([&] { return client.Get("/api/stats").Json()["delivered"].get<uint64_t>() >= before + 10; }));
    EXPECT_TRUE(client.Get("/api/stats").Json()["running"].get<bool>());
}

TEST_F(PreviewStreamTest, PreviewHasThePreviewSizeAtTheLargestFormat) {
    Client client(Port());
    ASSERT_EQ(client.Post("/api/format", json{{"width", 2048}, {"height", 1536}}).Status, 200);
    EXPECT_EQ(ReadParts(client, 2).size(), 2u);
    const json stats = client.Get("/api/stats").Json();
    EXPECT_EQ(stats["preview_width"], 640);
    EXPECT_EQ(stats["preview_height"], 480);
}

TEST(ServerStop, EndsViewersAndSavesTheSettings) {
    auto server = std::make_unique<CameraServer>(TestOptions());
    Client client(server->Port());
    ASSERT_EQ(client.Post("/api/controls/procamp/Gamma", json{{"value", 23}}).Status, 200);
    std::thread viewer([&] {
        Client watching(server->Port());
        watching.Raw().Get("/preview.mjpg", [](const char*, size_t) { return true; });
    });
    ASSERT_TRUE(WaitFor([&] { return client.Get("/api/stats").Json()["viewers"] == 1; }));
    EXPECT_EQ(server->Stop(), "");
    viewer.join();  // its stream ended with the server
    uint32_t stored = 0;
    EXPECT_TRUE(vexacam::tools::ReadStoredValue("Gamma", &stored));
    EXPECT_EQ(stored, 23u);
}

}  // namespace
}  // namespace vexacam_serve_test
