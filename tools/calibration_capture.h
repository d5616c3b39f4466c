// One of the driver's calibration captures, requested through its properties on a running
// stream while the camera looks at the right scene: the capped lens for the defect table (the
// driver raises the exposure itself for those frames), an evenly lit grey card for the gain map
// (after the automatic exposure has settled on it). `vexacam calibrate` runs it on a stream of
// its own, `vexacam serve` on the stream the page shows.
//
// The frames are checked before the new file is kept: a scene that does not suit the table is
// refused and the previous files are put back (unless forced). A capture that fails half way
// puts them back as well, so a failure never leaves a half-judged file behind.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "camera/scene.h"
#include "host/framework/client.h"
#include "tools/calibration_checks.h"
#include "tools/capture_session.h"
#include "tools/picture_collector.h"

namespace vexacam::tools {

struct CalibrationKind {
    const char* Name;        // "defects" or "gainmap"
    camera::SceneKind Scene; // what the camera must look at
    bool AutoExposure;       // the capture's frames are taken under automatic exposure
    ULONG RequestId;         // CameraControlSet id that starts the capture and reads 0 when done
};

// "defects" or "gainmap"; null for anything else.
const CalibrationKind* FindCalibrationKind(const std::string& name);

// What a calibration left behind.
struct CalibrationOutcome {
    bool Kept = false;        // the new file stays (the scene suited it, or forced)
    std::string Refusal;      // why the scene did not suit the table; "" when it did
    std::vector<std::string> Lines;  // what was written, and what to do next
};

// Called with each picture delivered while the capture runs (it may take the pixels).
using CalibrationPictures = std::function<void(DeliveredPicture&)>;

// Runs a calibration of Kind at the session's size on its running stream, whose reads
// Collector keeps queued, and judges the result. A gain map without a defect table for the
// width is refused (status 2) unless Force. A capture that fails throws CommandFailure with the
// previous files back in place. The automatic exposure setting is borrowed and given back.
CalibrationOutcome RunCalibration(CaptureSession& session, PictureCollector& collector, const CalibrationKind& kind,
                                  bool force, const CalibrationPictures& pictures = {});

}  // namespace vexacam::tools
