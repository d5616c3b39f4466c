#include "tools/serve/api_routes.h"

#include <httplib.h>
// The resolver's headers that httplib brings in name an opcode DELETE, as the platform names an
// access right.
#undef DELETE

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "camera/camera_options.h"
#include "tools/calibration_checks.h"
#include "tools/command.h"
#include "tools/control_access.h"
#include "tools/control_arguments.h"
#include "tools/control_json.h"
#include "tools/machine_registry.h"
#include "tools/offline_device.h"
#include "tools/serve/camera_service.h"
#include "tools/serve/snapshot_store.h"
#include "tools/status_text.h"

namespace vexacam::tools {
namespace {

using nlohmann::json;

void Reply(httplib::Response& response, int status, const json& body) {
    response.status = status;
    response.set_content(body.dump(), "application/json");
}

void Refuse(httplib::Response& response, int status, const std::string& message) {
    Reply(response, status, {{"error", message}});
}

// The body as a JSON object; 400 and false otherwise.
bool TakeObject(const httplib::Request& request, httplib::Response& response, json* body) {
    *body = json::parse(request.body, nullptr, false);
    if (body->is_discarded() || !body->is_object()) {
        Refuse(response, 400, "the body must be a JSON object");
        return false;
    }
    return true;
}

// Runs Act, turning a refusal into 400 and any other failure into 409 (the camera is gone,
// the driver failed) with its line.
template <typename Act>
void Answer(httplib::Response& response, Act act) {
    try {
        act();
    } catch (const CommandFailure& failure) {
        Refuse(response, failure.Status() == kUsageError ? 400 : 409, failure.what());
    } catch (const std::exception& failure) {
        Refuse(response, 500, failure.what());
    }
}

// A change: a POST whose body must be a JSON object, answered as Answer answers.
template <typename Handle>
void PostObject(httplib::Server& server, const std::string& pattern, Handle handle) {
    server.Post(pattern, [handle](const httplib::Request& request, httplib::Response& response) {
        json body;
        if (!TakeObject(request, response, &body)) return;
        Answer(response, [&] { handle(request, body, response); });
    });
}

// A JSON number that is a whole number, as the command line's text for it; the command line's
// parser then checks it.
std::string WholeNumberText(const json& value) {
    if (value.is_number_integer()) return value.dump();
    FailUsage("a value must be a whole number, not " + value.dump());
}

// The control and values of a POST, through the parsers of `controls set` and `capture --set`.
ControlCommand ParseControlChange(const std::string& set, const std::string& name, const json& body) {
    if (!body.contains("value")) FailUsage("say the value: {\"value\": N}");
    const json& value = body["value"];
    std::string flags;
    if (body.contains("flags")) {
        if (!body["flags"].is_string()) FailUsage("flags is \"auto\" or \"manual\"");
        flags = body["flags"].get<std::string>();
    }
    std::vector<std::string> args = {"set", set, name};
    if (value.is_array()) {
        for (const json& part : value) args.push_back(WholeNumberText(part));
    } else {
        args.push_back(WholeNumberText(value));
    }
    // One-shot requests are taken as `capture --set` takes them.
    const Control* control = FindInSet(ControlSet::Camera, name);
    if (set == "camera" && control != nullptr && control->Use == ControlUse::Request) {
        if (!flags.empty()) FailUsage("flags go only with procamp.Brightness and procamp.WhiteBalance");
        const SettingAssignment assignment =
            ParseSettingAssignment(std::string(control->Name) + "=" + args.back(), SettingPlace::Capture);
        ControlCommand command;
        command.Action = ControlAction::Set;
        command.Target = assignment.Setting;
        command.Values = {assignment.Value};
        return command;
    }
    ControlCommand command = ParseControlCommand(args, flags);
    if (command.Target->Shape == ValueShape::Stored) {
        FailUsage(QualifiedName(*command.Target) + " is read when a stream opens and kept by the driver: set it with "
                  "'vexacam controls set' while the server is not running");
    }
    return command;
}

json ControlWithStored(host::AdapterClient& adapter, const Control& control) {
    ControlReading reading;
    const NTSTATUS status = ReadControl(adapter, control, &reading);
    json entry = ControlJson(control, reading, status);
    // What the registry holds for it, which the driver brings up with next time.
    uint32_t stored = 0;
    if (control.Use == ControlUse::Setting && control.Means == nullptr && control.Set != ControlSet::Registry &&
        ReadStoredValue(control.Name, &stored)) {
        entry["stored"] = stored;
    }
    return entry;
}

// Once the camera has gone the driver's answers describe nothing: 409 until it is brought back.
void NeedCamera(CameraService& camera, CaptureSession* session) {
    if (session == nullptr || !camera.Figures().Connected) FailRuntime("the camera is gone; bring it back first");
}

void AddControlRoutes(httplib::Server& server, CameraService& camera) {
    server.Get("/api/controls", [&camera](const httplib::Request&, httplib::Response& response) {
        Answer(response, [&] {
            json all = json::array();
            camera.Call([&](CaptureSession* session) {
                NeedCamera(camera, session);
                for (const Control& control : Controls()) all.push_back(ControlWithStored(session->Adapter(), control));
            });
            Reply(response, 200, all);
        });
    });
    server.Get(R"(/api/controls/(\w+)/(\w+))", [&camera](const httplib::Request& request, httplib::Response& response) {
        Answer(response, [&] {
            const ControlCommand command = ParseControlCommand({"get", request.matches[1].str(), request.matches[2].str()}, "");
            json entry;
            camera.Call([&](CaptureSession* session) {
                NeedCamera(camera, session);
                entry = ControlWithStored(session->Adapter(), *command.Target);
            });
            Reply(response, 200, entry);
        });
    });
    PostObject(server, R"(/api/controls/(\w+)/(\w+))", [&camera](const httplib::Request& request, const json& body, httplib::Response& response) {
        const ControlCommand command = ParseControlChange(request.matches[1].str(), request.matches[2].str(), body);
        json entry;
        camera.Call([&](CaptureSession* session) {
            NeedCamera(camera, session);
            const Control& control = *command.Target;
            bool switchedOff = false;
            NTSTATUS status = SwitchOffAutoExposureFor(session->Adapter(), control, command.Flags, &switchedOff);
            if (NT_SUCCESS(status)) status = WriteControl(session->Adapter(), control, command.Values, command.Flags);
            if (!NT_SUCCESS(status)) {
                FailRuntime("set " + QualifiedName(control) + " failed with status " + StatusText(status));
            }
            entry = ControlWithStored(session->Adapter(), control);
            entry["auto_exposure_switched_off"] = switchedOff;
        });
        Reply(response, 200, entry);
    });
}

json RecordingJson(const RecordingFigures& recording) {
    return {
        {"active", recording.Active},
        {"finishing", recording.Finishing},
        {"name", recording.Name},
        {"directory", recording.Directory},
        {"frames", recording.Saved},
        {"unsaved", recording.Unsaved},
        {"seconds", recording.Seconds},
        {"problem", recording.Problem},
    };
}

json FiguresJson(CameraService& camera) {
    const CameraFigures figures = camera.Figures();
    const PreviewFigures preview = camera.Hub().Figures();
    json histogram = json::object();
    const char* names[] = {"blue", "green", "red"};
    for (size_t channel = 0; channel < 3; ++channel) histogram[names[channel]] = preview.Histogram[channel];
    return {
        {"connected", figures.Connected},
        {"running", figures.Running},
        {"problem", figures.Problem},
        {"width", figures.Width},
        {"height", figures.Height},
        {"delivered", figures.Delivered},
        {"driver_dropped", figures.DriverDropped},
        {"fps", figures.FramesPerSecond},
        {"cpu_ms_per_frame", figures.CpuMsPerFrame},
        {"exposure", figures.Exposure},
        {"viewers", camera.Hub().Viewers()},
        {"preview_width", preview.ShownWidth},
        {"preview_height", preview.ShownHeight},
        {"preview_encoded", preview.Encoded},
        {"preview_replaced", preview.Replaced},
        {"encoder_ms_per_frame", preview.Encoded > 0 ? preview.EncoderCpuSeconds * 1e3 / preview.Encoded : 0.0},
        {"histogram", histogram},
        {"recording", RecordingJson(figures.Recording)},
        {"calibrating", figures.Calibrating},
    };
}

void AddStreamRoutes(httplib::Server& server, CameraService& camera) {
    server.Get("/api/formats", [&camera](const httplib::Request&, httplib::Response& response) {
        json formats = json::array();
        for (const OfferedFormat& format : camera.Formats()) {
            formats.push_back({{"width", format.Width}, {"height", format.Height}, {"fps", format.FramesPerSecond}});
        }
        const CameraFigures figures = camera.Figures();
        Reply(response, 200, {{"formats", formats}, {"current", {{"width", figures.Width}, {"height", figures.Height}}}});
    });
    PostObject(server, "/api/format", [&camera](const httplib::Request&, const json& body, httplib::Response& response) {
        if (!body.contains("width") || !body.contains("height")) FailUsage("say the size: {\"width\": W, \"height\": H}");
        const std::string text = WholeNumberText(body["width"]) + "x" + WholeNumberText(body["height"]);
        camera.SwitchFormat(ParseFrameSize(text, "the format"));
        Reply(response, 200, FiguresJson(camera));
    });
    server.Get("/api/stats", [&camera](const httplib::Request&, httplib::Response& response) {
        Reply(response, 200, FiguresJson(camera));
    });
    PostObject(server, "/api/stream", [&camera](const httplib::Request&, const json& body, httplib::Response& response) {
        if (!body.contains("running") || !body["running"].is_boolean()) FailUsage("say {\"running\": true} or false");
        if (body["running"].get<bool>()) {
            camera.Start();
        } else {
            camera.Stop();
        }
        Reply(response, 200, FiguresJson(camera));
    });
    PostObject(server, "/api/camera", [&camera](const httplib::Request&, const json& body, httplib::Response& response) {
        const json action = body.contains("action") ? body["action"] : json();
        if (action == "unplug") {
            camera.Unplug();
        } else if (action == "bring-back") {
            camera.BringBack();
        } else {
            FailUsage("action is \"unplug\" or \"bring-back\"");
        }
        Reply(response, 200, FiguresJson(camera));
    });
}

void AddSnapshotRoute(httplib::Server& server, CameraService& camera, SnapshotStore& snapshots) {
    server.Post("/api/snapshot", [&camera, &snapshots](const httplib::Request& request, httplib::Response& response) {
        json body;
        if (!TakeObject(request, response, &body)) return;
        const json kind = body.contains("kind") ? body["kind"] : json("bmp");
        if (kind != "bmp" && kind != "png") return Refuse(response, 400, "kind is \"bmp\" or \"png\"");
        FullPicture picture;
        if (!camera.Hub().CopyNewest(&picture)) return Refuse(response, 409, "no picture has arrived yet");
        std::string name;
        std::vector<uint8_t> bytes;
        const std::string problem =
            snapshots.Save(picture, kind == "bmp" ? SnapshotKind::Bmp : SnapshotKind::Png, &name, &bytes);
        if (!problem.empty()) return Refuse(response, 500, problem);
        response.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
        response.set_content(std::string(bytes.begin(), bytes.end()), kind == "bmp" ? "image/bmp" : "image/png");
    });
}

void AddRecordingRoutes(httplib::Server& server, CameraService& camera) {
    server.Get("/api/recording", [&camera](const httplib::Request&, httplib::Response& response) {
        Reply(response, 200, RecordingJson(camera.Figures().Recording));
    });
    PostObject(server, "/api/recording", [&camera](const httplib::Request&, const json& body, httplib::Response& response) {
        const json action = body.contains("action") ? body["action"] : json();
        if (action == "start") {
            const json kind = body.contains("kind") ? body["kind"] : json("mkv");
            if (kind != "mkv" && kind != "avi") FailUsage("kind is \"mkv\" (lossless FFV1) or \"avi\" (uncompressed)");
            Reply(response, 200, RecordingJson(camera.StartRecording(kind == "mkv" ? VideoKind::Mkv : VideoKind::Avi)));
        } else if (action == "stop") {
            Reply(response, 200, RecordingJson(camera.StopRecording()));
        } else {
            FailUsage("action is \"start\" or \"stop\"");
        }
    });
}

// What each calibration needs and checks, and whether this width has its file yet.
json CalibrationJson(CameraService& camera) {
    using L = CalibrationLimits;
    const uint32_t width = camera.Figures().Width;
    const auto file = [width](bool gainMap) {
        const std::string path = OfflineDevice::MachineCalibrationPath(width, gainMap);
        std::error_code error;
        return json{{"path", path}, {"exists", !path.empty() && std::filesystem::is_regular_file(path, error)}};
    };
    return {
        {"width", width},
        {"kinds",
         json::array({
             {{"kind", "defects"}, {"scene", "dark"}, {"needs", "the lens capped (a dark frame); take this first"},
              {"checks", "mean at most " + std::to_string(static_cast<int>(L::kDefectsMaximumMean)) +
                             " of 255, few pixels standing out"},
              {"file", file(false)}},
             {{"kind", "gainmap"}, {"scene", "flat"}, {"needs", "an evenly lit grey card filling the picture"},
              {"checks", "centre mean " + std::to_string(static_cast<int>(L::kGainMapMinimumMean)) + ".." +
                             std::to_string(static_cast<int>(L::kGainMapMaximumMean)) +
                             " of 255, nothing clipped, no texture"},
              {"file", file(true)}},
         })},
    };
}

void AddCalibrationRoutes(httplib::Server& server, CameraService& camera) {
    server.Get("/api/calibration", [&camera](const httplib::Request&, httplib::Response& response) {
        Reply(response, 200, CalibrationJson(camera));
    });
    PostObject(server, "/api/calibration", [&camera](const httplib::Request&, const json& body, httplib::Response& response) {
        CalibrationRequest calibration;
        const json kind = body.contains("kind") ? body["kind"] : json();
        calibration.Kind = kind.is_string() ? FindCalibrationKind(kind.get<std::string>()) : nullptr;
        if (calibration.Kind == nullptr) FailUsage("kind is \"defects\" (capped lens, first) or \"gainmap\" (grey card)");
        calibration.Scene = calibration.Kind->Scene;
        if (body.contains("scene") &&
            (!body["scene"].is_string() || !camera::ParseScene(body["scene"].get<std::string>(), &calibration.Scene))) {
            FailUsage("scene is \"chart\", \"flat\" or \"dark\"");
        }
        if (body.contains("force")) {
            if (!body["force"].is_boolean()) FailUsage("force is true or false");
            calibration.Force = body["force"].get<bool>();
        }
        const CalibrationOutcome outcome = camera.Calibrate(calibration);
        Reply(response, 200, {{"kind", calibration.Kind->Name}, {"kept", outcome.Kept}, {"refusal", outcome.Refusal},
                              {"lines", outcome.Lines}});
    });
}

}  // namespace

void AddApiRoutes(httplib::Server& server, CameraService& camera, SnapshotStore& snapshots) {
    AddControlRoutes(server, camera);
    AddStreamRoutes(server, camera);
    AddSnapshotRoute(server, camera, snapshots);
    AddRecordingRoutes(server, camera);
    AddCalibrationRoutes(server, camera);
}

}  // namespace vexacam::tools
