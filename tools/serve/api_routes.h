// The JSON API the page uses and scripts can use. Every change is a POST of a small JSON
// object; values are checked exactly as the command line checks them (the same parsers, the
// same published ranges), and anything refused gets 400 with {"error": "one line"}.
//
//   GET  /api/formats                     the six formats and the current one
//   POST /api/format    {"width","height"} switch the stream to another format
//   GET  /api/controls                    every control with its value and published range
//   GET  /api/controls/SET/NAME           one control
//   POST /api/controls/SET/NAME {"value": N | [h, w, x, y], "flags": "auto"|"manual"}
//   GET  /api/stats                       live figures and the histogram
//   POST /api/stream    {"running": bool} start or stop the stream
//   POST /api/camera    {"action": "unplug"|"bring-back"}
//   POST /api/snapshot  {"kind": "bmp"|"png"} the newest picture, kept and downloaded
//   GET  /api/recording                   the recording running, or the last one
//   POST /api/recording {"action": "start", "kind": "mkv"|"avi"} | {"action": "stop"}
//   GET  /api/calibration                 what each calibration needs and checks, its files
//   POST /api/calibration {"kind": "defects"|"gainmap", "scene"?, "force"?}
#pragma once

namespace httplib {
class Server;
}

namespace vexacam::tools {

class CameraService;
class SnapshotStore;

void AddApiRoutes(httplib::Server& server, CameraService& camera, SnapshotStore& snapshots);

}  // namespace vexacam::tools
