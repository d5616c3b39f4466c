// The JSON API over HTTP, as scripts and the page use it: every endpoint, refusals of bad
// values and bad bodies with 400 and one line, and several clients at once.
#include <string>
#include <thread>
#include <vector>

#include "server_fixture.h"
#include "tools/command.h"
#include "tools/control_arguments.h"

namespace vexacam_serve_test {
namespace {

class ApiTest : public ServerTest {};

TEST_F(ApiTest, AnswersEveryReadingEndpoint) {
    Client client(Port());
    const Reply page = client.Get("/");
    EXPECT_EQ(page.Status, 200);
    EXPECT_NE(page.ContentType.find("text/html"), std::string::npos);

    const json formats = client.Get("/api/formats").Json();
    ASSERT_EQ(formats["formats"].size(), 6u);
    EXPECT_EQ(formats["current"]["width"], 640);

    const json controls = client.Get("/api/controls").Json();
    ASSERT_TRUE(controls.is_array());
    bool contrast = false;
    for (const json& control : controls) {
        if (control["set"] == "procamp" && control["name"] == "Contrast") {
            contrast = true;
            EXPECT_EQ(control["min"], 1);
            EXPECT_EQ(control["max"], 32);
            EXPECT_EQ(control["step"], 1);
            EXPECT_EQ(control["default"], 16);
        }
    }
    EXPECT_TRUE(contrast);

    const Reply one = client.Get("/api/controls/camera/Exposal");
    EXPECT_EQ(one.Status, 200);
    EXPECT_EQ(one.Json()["name"], "Exposal");

    ASSERT_TRUE(FramesArrive(client, 3));
    const json stats = client.Get("/api/stats").Json();
    EXPECT_TRUE(stats["running"].get<bool>());
    EXPECT_TRUE(stats["connected"].get<bool>());
    EXPECT_EQ(stats["histogram"]["red"].size(), vexacam::tools::kHistogramBins);
}

struct Refusal {
    const char* Path;
    const char* ContentType;
    std::string Body;
    int Status;
    const char* Says;  // part of the one-line message
    const char* Why;
};

TEST_F(ApiTest, RefusesBadValuesAndBodiesWithOneLine) {
    const Refusal cases[] = {
        {"/api/controls/procamp/Contrast", "application/json", R"({"value":99})", 400, "1..32", "above the published range"},
        {"/api/controls/procamp/Contrast", "application/json", R"({"value":0})", 400, "1..32", "below the published range"},
        {"/api/controls/procamp/Contrast", "application/json", R"({"value":1.5})", 400, "whole number", "a fraction"},
        {"/api/controls/procamp/Contrast", "application/json", R"({"value":"20"})", 400, "whole number", "a string"},
        {"/api/controls/procamp/Contrast", "application/json", R"({"value":99999999999999999999})", 400, "whole number", "past 64 bits"},
        {"/api/controls/procamp/Contrast", "application/json", R"({})", 400, "value", "no value"},
        {"/api/controls/procamp/Contrast", "application/json", R"({"value":20,"flags":"auto"})", 400, "--flags", "flags on a control without them"},
        {"/api/controls/procamp/Brightness", "application/json", R"({"value":20,"flags":"sideways"})", 400, "auto or manual", "unknown flags"},
        {"/api/controls/procamp/Nothing", "application/json", R"({"value":1})", 400, "no control", "unknown control"},
        {"/api/controls/lens/Contrast", "application/json", R"({"value":1})", 400, "no control", "unknown set"},
        {"/api/controls/videocontrol/Caps", "application/json", R"({"value":1})", 400, "cannot be set", "read-only"},
        {"/api/controls/registry/Saturntion", "application/json", R"({"value":8})", 400, "controls set", "read when a stream opens"},
        {"/api/controls/camera/DefectCapture", "application/json", R"({"value":1})", 400, "calibrate", "a calibration capture"},
        {"/api/controls/camera/CameraWindow", "application/json", R"({"value":[480,640,0]})", 400, "four values", "three parts of the window"},
        {"/api/controls/camera/CameraWindow", "application/json", R"({"value":[480,640,2000,0]})", 400, "sensor", "window off the sensor"},
        {"/api/controls/camera/OnePushWhiteBalance", "application/json", R"({"value":2})", 400, "0..1", "request out of range"},
        {"/api/controls/procamp/Contrast", "application/json", "{\"value\":", 400, "JSON object", "cut short"},
        {"/api/controls/procamp/Contrast", "application/json", "[20]", 400, "JSON object", "not an object"},
        {"/api/controls/procamp/Contrast", "text/plain", R"({"value":20})", 415, "application/json", "not JSON"},
        {"/api/controls/procamp/Contrast", "application/x-www-form-urlencoded", "value=20", 415, "application/json", "a form post"},
        {"/api/controls/procamp/Contrast", "application/json", "{\"value\":20,\"pad\":\"" + std::string(5000, 'x') + "\"}", 413, "too long", "over the body limit"},
        {"/api/format", "application/json", R"({"width":123,"height":45})", 400, "not one the driver offers", "unknown size"},
        {"/api/format", "application/json", R"({"width":"640","height":480})", 400, "whole number", "size as a string"},
        {"/api/format", "application/json", R"({"width":-640,"height":480})", 400, "WIDTHxHEIGHT", "negative size"},
        {"/api/stream", "application/json", R"({"running":"yes"})", 400, "running", "not a boolean"},
        {"/api/camera", "application/json", R"({"action":"explode"})", 400, "unplug", "unknown action"},
        {"/api/snapshot", "application/json", R"({"kind":"gif"})", 400, "bmp", "unknown picture kind"},
        {"/api/snapshot", "application/json", R"({"kind":"../../etc/passwd"})", 400, "bmp", "a path for a kind"},
        {"/api/nothing", "application/json", "{}", 404, "nothing", "no such endpoint"},
    };
    Client client(Port());
    for (const Refusal& refusal : cases) {
        SCOPED_TRACE(refusal.Why);
        const Reply reply = client.Post(refusal.Path, refusal.Body, refusal.ContentType);
        EXPECT_EQ(reply.Status, refusal.Status);
        const json body = reply.Json();
        ASSERT_TRUE(body.is_object()) << reply.Body;
        const std::string message = body.value("error", "");
        EXPECT_NE(message.find(refusal.Says), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    // Nothing refused reached the driver.
    EXPECT_EQ(client.Get("/api/controls/procamp/Contrast").Status, 200);
    EXPECT_TRUE(client.Get("/api/stats").Json()["running"].get<bool>());
}

TEST_F(ApiTest, RefusesOtherMethodsAndUnknownPaths) {
    Client client(Port());
    EXPECT_EQ(client.Raw().Delete("/api/stats")->status, 405);
    EXPECT_EQ(client.Raw().Put("/api/controls/procamp/Contrast", R"({"value":20})", "application/json")->status, 405);
    EXPECT_EQ(client.Get("/etc/passwd").Status, 404);
    EXPECT_EQ(client.Get("/api/controls/procamp/..%2F..%2Fx").Status, 404);
}

TEST_F(ApiTest, RangeRefusalIsTheCommandLinesLine) {
    std::string commandLine;
    try {
        vexacam::tools::ParseControlCommand({"set", "procamp", "Gamma", "40"}, "");
    } catch (const vexacam::tools::CommandFailure& failure) {
        commandLine = failure.what();
    }
    ASSERT_FALSE(commandLine.empty());
    Client client(Port());
    EXPECT_EQ(client.Post("/api/controls/procamp/Gamma", json{{"value", 40}}).Json()["error"], commandLine);
}

TEST_F(ApiTest, SetControlTakesEffectAndIsStoredWhenTheStreamStops) {
    Client client(Port());
    const Reply set = client.Post("/api/controls/procamp/Contrast", json{{"value", 21}});
    ASSERT_EQ(set.Status, 200) << set.Body;
    EXPECT_EQ(set.Json()["value"], 21);
    EXPECT_EQ(client.Get("/api/controls/camera/Contrast").Json()["value"], 21);  // the same setting
    ASSERT_EQ(client.Post("/api/stream", json{{"running", false}}).Status, 200);
    EXPECT_EQ(client.Get("/api/controls/camera/Contrast").Json()["stored"], 21);
    EXPECT_EQ(client.Post("/api/stream", json{{"running", true}}).Status, 200);
    EXPECT_TRUE(FramesArrive(client, 2));
}

TEST_F(ApiTest, TakesRequestsWindowAndFlags) {
    Client client(Port());
    EXPECT_EQ(client.Post("/api/controls/camera/OnePushWhiteBalance", json{{"value", 1}}).Status, 200);
    EXPECT_EQ(client.Post("/api/controls/procamp/Brightness", json{{"value", 100}, {"flags", "auto"}}).Status, 200);
    const Reply manual = client.Post("/api/controls/camera/Exposal", json{{"value", 150}});
    ASSERT_EQ(manual.Status, 200) << manual.Body;
    EXPECT_TRUE(manual.Json()["auto_exposure_switched_off"].get<bool>());
    EXPECT_EQ(client.Get("/api/controls/procamp/AEing").Json()["value"], 0);
    const Reply window = client.Post("/api/controls/camera/CameraWindow", json{{"value", {480, 640, 8, 8}}});
    EXPECT_EQ(window.Status, 200) << window.Body;
}

TEST_F(ApiTest, SwitchesFormatAndSnapshotsHaveItsSize) {
    Client client(Port());
    const Reply switched = client.Post("/api/format", json{{"width", 1280}, {"height", 1024}});
    ASSERT_EQ(switched.Status, 200) << switched.Body;
    EXPECT_EQ(client.Get("/api/formats").Json()["current"]["width"], 1280);
    ASSERT_TRUE(FramesArrive(client, 2));
    Reply bmp;
    ASSERT_TRUE(WaitFor([&] {
        bmp = client.Post("/api/snapshot", json{{"kind", "bmp"}});
        return bmp.Status == 200;
    }));
    ASSERT_GT(bmp.Body.size(), 54u);
    EXPECT_EQ(bmp.Body.substr(0, 2), "BM");
    const auto le32 = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bmp.Body[at]) | static_cast<uint8_t>(bmp.Body[at + 1]) << 8 |
                                     static_cast<uint8_t>(bmp.Body[at + 2]) << 16);
    };
    EXPECT_EQ(le32(18), 1280u);
    EXPECT_EQ(le32(22), 1024u);
    const Reply png = client.Post("/api/snapshot", json{{"kind", "png"}});
    ASSERT_EQ(png.Status, 200);
    EXPECT_EQ(png.Body.substr(1, 3), "PNG");
    // Kept where the program decides, under its own names.
    size_t kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TestRoot() + "/snapshots")) {
        kept += entry.path().filename().string().rfind("snapshot-", 0) == 0;
    }
    EXPECT_GE(kept, 2u);
}

TEST_F(ApiTest, UnpluggedCameraIsReportedAndBroughtBack) {
    Client client(Port());
    ASSERT_TRUE(FramesArrive(client, 2));
    ASSERT_EQ(client.Post("/api/camera", json{{"action", "unplug"}}).Status, 200);
    ASSERT_TRUE(WaitFor([&] { return !client.Get("/api/stats").Json()["connected"].get<bool>(); }));
    EXPECT_NE(client.Get("/api/stats").Json()["problem"].get<std::string>(), "");
    for (const char* path : {"/api/controls", "/api/controls/procamp/Gamma"}) {
        const Reply gone = client.Get(path);
        EXPECT_EQ(gone.Status, 409) << path;
        EXPECT_NE(gone.Json().value("error", "").find("gone"), std::string::npos) << gone.Body;
    }
    EXPECT_EQ(client.Post("/api/controls/procamp/Gamma", json{{"value", 5}}).Status, 409);
    EXPECT_EQ(client.Post("/api/camera", json{{"action", "unplug"}}).Status, 409);
    ASSERT_EQ(client.Post("/api/camera", json{{"action", "bring-back"}}).Status, 200);
    EXPECT_TRUE(client.Get("/api/stats").Json()["connected"].get<bool>());
    EXPECT_TRUE(FramesArrive(client, 3));
}

TEST_F(ApiTest, ConcurrentClientsAllGetTheirAnswers) {
    constexpr int kClients = 6;
    constexpr int kRounds = 15;
    std::vector<std::thread> clients;
    std::vector<int> wrong(kClients, 0);
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([c, &wrong] {
            Client client(Port());
            for (int round = 0; round < kRounds; ++round) {
                const int value = 1 + (c * kRounds + round) % 32;
                wrong[c] += client.Post("/api/controls/procamp/Gamma", json{{"value", value}}).Status != 200;
                wrong[c] += client.Post("/api/controls/procamp/Gamma", json{{"value", 33 + round}}).Status != 400;
                wrong[c] += client.Get("/api/stats").Status != 200;
                wrong[c] += client.Get("/api/controls/procamp/Gamma").Status != 200;
            }
        });
    }
    for (std::thread& client : clients) client.join();
    for (int c = 0; c < kClients; ++c) EXPECT_EQ(wrong[c], 0) << "client " << c;
}

}  // namespace
}  // namespace vexacam_serve_test
