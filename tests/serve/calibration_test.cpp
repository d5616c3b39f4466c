// Calibration from the server: the camera pointed at the scene each table needs, the checks of
// `vexacam calibrate` before a file is kept, and the previous files back in place and in effect
// when a scene is refused.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "camera/scene.h"
#include "server_fixture.h"
#include "tools/capture_session.h"

namespace vexacam_serve_test {
namespace {

class CalibrationTest : public ServerTest {
protected:
    static std::string FilePath(Client& client, const char* kind) {
        const json calibration = client.Get("/api/calibration").Json();
        for (const json& entry : calibration["kinds"]) {
            if (entry["kind"] == kind) return entry["file"]["path"];
        }
        return "";
    }
    static std::vector<uint8_t> Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

TEST_F(CalibrationTest, TakesDefectsThenTheGainMapAndRefusesWrongScenes) {
    Client client(Port());
    const std::string defects = FilePath(client, "defects");
    const std::string gainMap = FilePath(client, "gainmap");
    ASSERT_NE(defects, "");
    std::filesystem::remove(defects);
    std::filesystem::remove(gainMap);

    const Reply early = client.Post("/api/calibration", json{{"kind", "gainmap"}});
    EXPECT_EQ(early.Status, 400);
    EXPECT_NE(early.Json().value("error", "").find("defect"), std::string::npos) << early.Body;
    EXPECT_FALSE(std::filesystem::exists(gainMap));

    for (const char* kind : {"defects", "gainmap"}) {
        const Reply reply = client.Post("/api/calibration", json{{"kind", kind}});
        ASSERT_EQ(reply.Status, 200) << kind << ": " << reply.Body;
        EXPECT_TRUE(reply.Json()["kept"].get<bool>());
        EXPECT_EQ(reply.Json()["refusal"], "");
        EXPECT_NE(reply.Json()["lines"][0].get<std::string>().find("wrote"), std::string::npos);
    }
    EXPECT_EQ(std::filesystem::file_size(gainMap), 640u * 480u * 2u);
    const json calibration = client.Get("/api/calibration").Json();
    for (const json& entry : calibration["kinds"]) EXPECT_TRUE(entry["file"]["exists"]);

    const std::vector<uint8_t> keptDefects = Bytes(defects), keptGains = Bytes(gainMap);
    const struct {
        const char* Kind;
        const char* Scene;
        const char* Says;
    } wrong[] = {
        {"gainmap", "dark", "too dark"},
        {"gainmap", "chart", "grey card"},
        {"defects", "chart", "not dark"},
        {"defects", "flat", "lens capped"},
    };
    for (const auto& c : wrong) {
        const Reply reply = client.Post("/api/calibration", json{{"kind", c.Kind}, {"scene", c.Scene}});
        EXPECT_EQ(reply.Status, 409) << c.Kind << " on " << c.Scene;
        const std::string error = reply.Json().value("error", "");
        EXPECT_NE(error.find("refused"), std::string::npos) << error;
        EXPECT_NE(error.find(c.Says), std::string::npos) << error;
        EXPECT_EQ(Bytes(defects), keptDefects) << c.Kind << " on " << c.Scene;
        EXPECT_EQ(Bytes(gainMap), keptGains) << c.Kind << " on " << c.Scene;
        // The stream was reopened so the driver reads the previous tables again.
        const json stats = client.Get("/api/stats").Json();
        EXPECT_TRUE(stats["running"].get<bool>());
        EXPECT_EQ(stats["calibrating"], "");
    }
    const Reply forced = client.Post("/api/calibration", json{{"kind", "defects"}, {"scene", "chart"}, {"force", true}});
    ASSERT_EQ(forced.Status, 200) << forced.Body;
    EXPECT_TRUE(forced.Json()["kept"].get<bool>());
    EXPECT_NE(forced.Json()["refusal"].get<std::string>().find("not dark"), std::string::npos);
    EXPECT_GT(std::filesystem::file_size(defects), 4000u * 4u) << "forced: kept what the scene gave";
}

TEST_F(CalibrationTest, PointsTheCameraAtTheSceneAndBackAtWhatItShowedBefore) {
    Client client(Port());
    const auto scene = [] {
        camera::SceneKind shown = camera::SceneKind::Flat;
        Server().Camera().Call([&](vexacam::tools::CaptureSession* session) { shown = session->Camera().Scene(); });
        return shown;
    };
    ASSERT_EQ(scene(), camera::SceneKind::Chart);
    // Kept (forced) and refused alike.
    EXPECT_EQ(client.Post("/api/calibration", json{{"kind", "defects"}, {"force", true}}).Status, 200);
    EXPECT_EQ(scene(), camera::SceneKind::Chart);
    EXPECT_EQ(client.Post("/api/calibration", json{{"kind", "defects"}, {"scene", "flat"}}).Status, 409);
    EXPECT_EQ(scene(), camera::SceneKind::Chart);
}

TEST_F(CalibrationTest, RefusesBadRequests) {
    Client client(Port());
    const struct {
        json Body;
        const char* Says;
    } cases[] = {
        {json::object(), "kind is"},
        {json{{"kind", "flatfield"}}, "kind is"},
        {json{{"kind", 3}}, "kind is"},
        {json{{"kind", "defects"}, {"scene", "moon"}}, "scene is"},
        {json{{"kind", "defects"}, {"force", "yes"}}, "force is"},
    };
    for (const auto& c : cases) {
        const Reply reply = client.Post("/api/calibration", c.Body);
        EXPECT_EQ(reply.Status, 400) << c.Body.dump();
        EXPECT_NE(reply.Json().value("error", "").find(c.Says), std::string::npos) << reply.Body;
    }
    ASSERT_EQ(client.Post("/api/stream", json{{"running", false}}).Status, 200);
    const Reply stopped = client.Post("/api/calibration", json{{"kind", "defects"}});
    EXPECT_EQ(stopped.Status, 400);
    EXPECT_NE(stopped.Json().value("error", "").find("stream is stopped"), std::string::npos) << stopped.Body;
}

}  // namespace
}  // namespace vexacam_serve_test
