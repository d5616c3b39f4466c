// The camera behind the server: the driver on a simulated camera, brought up as `vexacam
// capture` brings it up, with its capture stream kept running on a thread of its own. That
// thread is the only one that talks to the driver: requests from the network are handed to it
// as jobs and run between two rounds of reads, so the driver sees one application, and the
// reads stay queued whatever the viewers do.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/buffer_pool.h"
#include "tools/capture_session.h"
#include "tools/picture_collector.h"
#include "tools/calibration_capture.h"
#include "tools/serve/numbered_files.h"
#include "tools/serve/preview_hub.h"
#include "tools/serve/recording.h"

namespace vexacam::tools {

struct CameraFigures {
    bool Connected = false;   // a session is up (false after the camera went, until it is brought back)
    bool Running = false;     // the stream runs
    std::string Problem;      // why the camera is not running, when it is not by request
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint64_t Delivered = 0;        // pictures since the stream last started
    int64_t DriverDropped = 0;     // the driver's count of periods without a picture, same span
    double FramesPerSecond = 0;    // delivered, over the last second or so
    double CpuMsPerFrame = 0;      // the whole process's processor time per delivered picture
    int64_t Exposure = 0;          // Exposal as the driver holds it now
    RecordingFigures Recording;    // the recording running, or the last one
    std::string Calibrating;       // the calibration running ("defects", "gainmap"), or ""
};

// A calibration asked of the server: the kind and the scene the camera is pointed at for it
// (the kind's own unless told otherwise, to see a wrong scene refused).
struct CalibrationRequest {
    const CalibrationKind* Kind = nullptr;
    camera::SceneKind Scene = camera::SceneKind::Chart;
    bool Force = false;
};

// One of the formats the driver offers.
struct OfferedFormat {
    uint32_t Width = 0;
    uint32_t Height = 0;
    double FramesPerSecond = 0;
};

class CameraService {
public:
    // Brings the driver up at the session's size and starts the stream. A failure to bring it
    // up ends the command (CommandFailure), as in `capture`.
    CameraService(const SessionOptions& options, PreviewSize preview, const std::string& outputDirectory);
    ~CameraService();  // Shutdown
    CameraService(const CameraService&) = delete;
    CameraService& operator=(const CameraService&) = delete;

    PreviewHub& Hub() { return hub_; }
    CameraFigures Figures() const;
    // As the driver advertised them when the camera was last brought up.
    std::vector<OfferedFormat> Formats() const;

    // Runs Job on the camera thread with the session (null while the camera is gone) and
    // waits for it. An exception the job throws is thrown here.
    void Call(const std::function<void(CaptureSession*)>& job);

    // Jobs of their own. Each throws CommandFailure: status 2 for a request it refuses.
    void Start();
    void Stop();
    // A size the driver does not offer is refused with the camera left as it was.
    void SwitchFormat(FrameSize size);
    void Unplug();     // the simulated camera drops off the bus
    void BringBack();  // a new camera and a new session at the current size

    // A video of the pictures from now on, in the output directory; refused (status 2) while
    // the stream is stopped or a recording runs. The recording ends with StopRecording, or
    // when the stream stops, the format changes or the camera goes.
    RecordingFigures StartRecording(VideoKind kind);
    // Waits until the file is complete. Refused (status 2) when none runs.
    RecordingFigures StopRecording();

    // Points the camera at the scene, runs the calibration on the running stream and points
    // it back. A result that is not kept leaves the previous files and is refused (status 1);
    // the driver then reads the previous tables again (the stream is reopened).
    CalibrationOutcome Calibrate(const CalibrationRequest& request);

    // Stops the stream, shuts the driver down (it saves the settings) and writes the registry
    // file. "" or the first problem. Later calls do nothing.
    std::string Shutdown();

private:
    void Loop();
    void RunJobs(std::unique_lock<std::mutex>& hold);
    void Open(FrameSize size);        // camera thread
    std::string Close();              // camera thread
    // Camera thread: Close, Open at Size, and the stream started again when Run. What Close said.
    std::string Reopen(FrameSize size, bool run);
    void StartStream();               // camera thread
    void StopStream();                // camera thread
    void Collect();                   // camera thread: one round of reads
    void Deliver(DeliveredPicture& picture);     // camera thread: to the recording and the viewers
    // Camera thread; Why is "" when asked to. The writer completes the file on a thread of its
    // own, so the reads stay queued however long the encoder takes for what it holds.
    void EndRecording(const std::string& why);
    void UpdateFigures(bool force);   // camera thread

    SessionOptions options_;  // the size is the current one
    BufferPool buffers_;
    PreviewHub hub_;
    NumberedFiles recordingNames_;
    // Camera thread only.
    std::unique_ptr<CaptureSession> session_;
    std::unique_ptr<PictureCollector> collector_;
    std::unique_ptr<Recording> recording_;
    std::thread finisher_;  // completes the last recording ended; joined before the next and at Shutdown
    int64_t droppedAtStart_ = 0;
    int64_t lastUpdate_ = 0;          // host time of the figures' last update
    uint64_t deliveredAtUpdate_ = 0;
    double cpuAtUpdate_ = 0;

    mutable std::mutex figuresLock_;  // guards figures_, formats_
    std::condition_variable recordingFinished_;
    CameraFigures figures_;
    std::vector<OfferedFormat> formats_;

    std::mutex jobsLock_;  // guards jobs_, stopping_
    std::condition_variable jobsWaiting_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::string shutdownProblem_;
    std::thread thread_;  // last: starts once the rest is made
};

}  // namespace vexacam::tools
