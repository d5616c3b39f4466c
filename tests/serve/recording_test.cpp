// Recording from the server: a video of the pictures in the output directory under a name the
// program chooses, ended by a request, a stopped stream or a format switch, and lasting as long
// as it ran.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "server_fixture.h"

namespace vexacam_serve_test {
namespace {

class RecordingTest : public ServerTest {
protected:
    static json Start(Client& client, const char* kind) {
        const Reply reply = client.Post("/api/recording", json{{"action", "start"}, {"kind", kind}});
        EXPECT_EQ(reply.Status, 200) << reply.Body;
        return reply.Json();
    }
    // Waits until the recording holds Frames pictures.
    static bool Holds(Client& client, uint32_t frames) {
        return WaitFor([&] { return client.Get("/api/recording").Json().value("frames", 0u) >= frames; });
    }
    static std::vector<uint8_t> File(const json& recording) {
        std::ifstream in(recording["directory"].get<std::string>() + "/" + recording["name"].get<std::string>(),
                         std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
        return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
    }
};

TEST_F(RecordingTest, RecordsAVideoAsLongAsTheRecordingRan) {
    Client client(Port());
    // Well into the stream, so that a video counted from the stream's start would be longer.
    ASSERT_TRUE(FramesArrive(client, 100));
    const json before = client.Get("/api/stats").Json();
    const json started = Start(client, "avi");
    EXPECT_TRUE(started["active"].get<bool>());
    const std::string name = started["name"];
    EXPECT_EQ(name.rfind("recording-", 0), 0u) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".avi");
    ASSERT_TRUE(Holds(client, 20));
    const Reply stopped = client.Post("/api/recording", json{{"action", "stop"}});
    ASSERT_EQ(stopped.Status, 200) << stopped.Body;
    // The figures are refreshed twice a second: a later reading only loosens the bound.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const json after = client.Get("/api/stats").Json();
    const auto periodsBetween = [&](const char* figure) {
        return after[figure].get<uint32_t>() - before[figure].get<uint32_t>();
    };
    const json done = stopped.Json();
    EXPECT_FALSE(done["active"].get<bool>());
    EXPECT_EQ(done["name"], name);
    EXPECT_EQ(done["problem"], "");
    const std::vector<uint8_t> avi = File(done);
    ASSERT_GT(avi.size(), 64u);
    EXPECT_EQ(std::string(avi.begin(), avi.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(avi.begin() + 8, avi.begin() + 12), "AVI ");
    EXPECT_EQ(Le32(avi, 64), 640u);  // avih width and height
    EXPECT_EQ(Le32(avi, 68), 480u);
    // One frame per period from the first picture recorded, dropped periods included: the
    // film lasts as long as the recording.
    const uint32_t periods = Le32(avi, 48);
    EXPECT_GE(periods, done["frames"].get<uint32_t>());
    EXPECT_NEAR(periods * Le32(avi, 32) / 1e6, done["seconds"].get<double>(), 0.001);  // avih: microseconds a frame
    EXPECT_LE(periods, periodsBetween("delivered") + periodsBetween("driver_dropped"))
        << "the video starts at the first picture recorded";
}

TEST_F(RecordingTest, EndsWithTheStreamOrTheFormatAndNeverReusesAName) {
    Client client(Port());
    ASSERT_TRUE(FramesArrive(client, 2));
    const std::string first = Start(client, "avi")["name"];
    ASSERT_TRUE(Holds(client, 5));
    // The stream stops at once; the writer completes the file on its own thread.
    ASSERT_EQ(client.Post("/api/stream", json{{"running", false}}).Status, 200);
    json last;
    ASSERT_TRUE(WaitFor([&] {
        last = client.Get("/api/recording").Json();
        return !last["finishing"].get<bool>();
    }, 120));
    EXPECT_FALSE(last["active"].get<bool>());
    EXPECT_EQ(last["name"], first);
    EXPECT_GE(last["frames"].get<uint32_t>(), 5u);
    const std::vector<uint8_t> avi = File(last);
    ASSERT_GE(avi.size(), 52u);
    EXPECT_GE(Le32(avi, 48), last["frames"].get<uint32_t>() + last["unsaved"].get<uint32_t>())
        << "complete: its header counts every period";

    ASSERT_EQ(client.Post("/api/stream", json{{"running", true}}).Status, 200);
    const std::string second = Start(client, "avi")["name"];
    EXPECT_NE(second, first);
    ASSERT_TRUE(Holds(client, 3));
    ASSERT_EQ(client.Post("/api/format", json{{"width", 800}, {"height", 600}}).Status, 200);
    last = client.Get("/api/recording").Json();
    EXPECT_FALSE(last["active"].get<bool>());
    EXPECT_EQ(last["name"], second);
    EXPECT_TRUE(std::filesystem::exists(last["directory"].get<std::string>() + "/" + second));
}

TEST_F(RecordingTest, RefusesWhatCannotBeDone) {
    Client client(Port());
    const struct {
        json Body;
        bool Running;
        const char* Says;
    } cases[] = {
        {json{{"action", "stop"}}, true, "no recording"},
        {json{{"action", "start"}, {"kind", "mp4"}}, true, "mkv"},
        {json{{"action", "pause"}}, true, "start"},
        {json{{"kind", "avi"}}, true, "start"},
        {json{{"action", "start"}, {"kind", "avi"}}, false, "stream is stopped"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(client.Post("/api/stream", json{{"running", c.Running}}).Status, 200);
        const Reply reply = client.Post("/api/recording", c.Body);
        EXPECT_EQ(reply.Status, 400) << c.Body.dump();
        EXPECT_NE(reply.Json().value("error", "").find(c.Says), std::string::npos) << reply.Body;
    }
    ASSERT_EQ(client.Post("/api/stream", json{{"running", true}}).Status, 200);
    Start(client, "mkv");
    const Reply twice = client.Post("/api/recording", json{{"action", "start"}});
    EXPECT_EQ(twice.Status, 400);
    EXPECT_NE(twice.Json().value("error", "").find("runs already"), std::string::npos) << twice.Body;
    // Stopping waits for the file: complete when the answer comes.
    const Reply stopped = client.Post("/api/recording", json{{"action", "stop"}});
    ASSERT_EQ(stopped.Status, 200);
    EXPECT_FALSE(stopped.Json()["finishing"].get<bool>());
    const std::vector<uint8_t> mkv = File(stopped.Json());
    ASSERT_GE(mkv.size(), 4u);
    EXPECT_EQ(Le32(mkv, 0), 0xA3DF451Au) << "an EBML header";
}

}  // namespace
}  // namespace vexacam_serve_test
