#include "tools/serve/camera_service.h"

#include <time.h>

#include <stdexcept>
#include <future>

#include "host/kernel/clock.h"
#include "tools/command.h"
#include "tools/cpu_time.h"
#include "tools/control_access.h"
#include "tools/control_table.h"
#include "tools/machine_registry.h"
#include "tools/status_text.h"

namespace vexacam::tools {
namespace {

constexpr int64_t kFiguresInterval = host::kSecond / 2;

}  // namespace

CameraService::CameraService(const SessionOptions& options, PreviewSize preview, const std::string& outputDirectory)
    : options_(options), hub_(buffers_, preview), recordingNames_(outputDirectory, "recording") {
    Open(options.Size);
    StartStream();
    thread_ = std::thread([this] { Loop(); });
}

CameraService::~CameraService() { Shutdown(); }

std::vector<OfferedFormat> CameraService::Formats() const {
    std::lock_guard<std::mutex> hold(figuresLock_);
    return formats_;
}

CameraFigures CameraService::Figures() const {
    std::lock_guard<std::mutex> hold(figuresLock_);
    return figures_;
}

void CameraService::Call(const std::function<void(CaptureSession*)>& job) {
    // A failure comes back as its status and text, not as the exception object: the object
    // would be shared by two threads through reference counts the sanitizers cannot see.
    struct Failure {
        bool Failed = false;
        bool Command = false;  // a CommandFailure with Status
        int Status = 0;
        std::string Message;
    };
    auto done = std::make_shared<std::promise<Failure>>();
    std::future<Failure> result = done->get_future();
    {
        std::lock_guard<std::mutex> hold(jobsLock_);
        if (stopping_) FailRuntime("the server is stopping");
        jobs_.push_back([this, &job, done] {
            Failure failure;
            try {
                job(session_.get());
            } catch (const CommandFailure& problem) {
                failure = {true, true, problem.Status(), problem.what()};
            } catch (const std::exception& problem) {
                failure = {true, false, 0, problem.what()};
            }
            done->set_value(std::move(failure));
        });
    }
    jobsWaiting_.notify_one();
    const Failure failure = result.get();
    if (!failure.Failed) return;
    if (failure.Command) throw CommandFailure(failure.Status, failure.Message);
    throw std::runtime_error(failure.Message);
}

void CameraService::Start() {
    Call([this](CaptureSession* session) {
        if (session == nullptr) FailRuntime("the camera is gone; bring it back first");
        if (collector_ == nullptr) StartStream();
    });
}

void CameraService::Stop() {
    Call([this](CaptureSession*) {
        StopStream();
        std::lock_guard<std::mutex> hold(figuresLock_);
        figures_.Problem.clear();
    });
}

void CameraService::SwitchFormat(FrameSize size) {
    std::string offered;
    bool found = false;
    for (const OfferedFormat& format : Formats()) {
        found = found || (format.Width == size.Width && format.Height == size.Height);
        offered += (offered.empty() ? "" : ", ") + std::to_string(format.Width) + "x" + std::to_string(format.Height);
    }
    if (!found) {
        FailUsage("format " + std::to_string(size.Width) + "x" + std::to_string(size.Height) +
                  " is not one the driver offers (" + offered + ")");
    }
    Call([this, size](CaptureSession*) {
        // A size the driver does not offer throws status 2 with the sizes it does.
        const std::string closed = Reopen(size, collector_ != nullptr || session_ == nullptr);
        if (!closed.empty()) FailRuntime(closed);
    });
}

void CameraService::Unplug() {
    Call([this](CaptureSession* session) {
        if (session == nullptr || !Figures().Connected) FailRuntime("the camera is already gone");
        session->Camera().Unplug();
    });
}

void CameraService::BringBack() {
    Call([this](CaptureSession*) {
        Reopen(options_.Size, true);  // what went wrong with the gone camera is no news
    });
}

RecordingFigures CameraService::StartRecording(VideoKind kind) {
    RecordingFigures figures;
    Call([&](CaptureSession* session) {
        if (collector_ == nullptr) FailUsage("the stream is stopped: start it to record");
        if (recording_ != nullptr) FailUsage("a recording runs already: stop it first");
        std::string name;
        const std::string problem = recordingNames_.Next(kind == VideoKind::Mkv ? "mkv" : "avi", &name);
        if (!problem.empty()) FailRuntime(problem);
        recording_ = std::make_unique<Recording>(recordingNames_.Path(name),
                                                 CaptureGeometry{session->Width(), session->Height(), session->FrameInterval()},
                                                 buffers_);
        std::lock_guard<std::mutex> hold(figuresLock_);
        figures_.Recording = RecordingFigures();
        figures_.Recording.Active = true;
        figures_.Recording.Name = name;
        figures_.Recording.Directory = recordingNames_.Directory();
        figures = figures_.Recording;
    });
    return figures;
}

RecordingFigures CameraService::StopRecording() {
    std::string name;
    Call([&](CaptureSession*) {
        if (recording_ == nullptr) FailUsage("no recording runs");
        name = Figures().Recording.Name;
        EndRecording("");
    });
    std::unique_lock<std::mutex> hold(figuresLock_);
    recordingFinished_.wait(hold, [&] { return figures_.Recording.Name != name || !figures_.Recording.Finishing; });
    if (figures_.Recording.Name == name && !figures_.Recording.Problem.empty()) FailRuntime(figures_.Recording.Problem);
    return figures_.Recording;
}

void CameraService::EndRecording(const std::string& why) {
    if (recording_ == nullptr) return;
    if (finisher_.joinable()) finisher_.join();
    std::string name;
    {
        std::lock_guard<std::mutex> hold(figuresLock_);
        recording_->Fill(&figures_.Recording);
        figures_.Recording.Active = false;
        figures_.Recording.Finishing = true;
        name = figures_.Recording.Name;
    }
    finisher_ = std::thread([this, name, why, ending = std::move(recording_)]() mutable {
        std::string problem = ending->Finish();
        if (problem.empty()) problem = why;
        RecordingFigures figures;
        ending->Fill(&figures);
        ending.reset();
        {
            std::lock_guard<std::mutex> hold(figuresLock_);
            if (figures_.Recording.Name == name) {  // not a newer recording's figures
                figures.Name = name;
                figures.Directory = figures_.Recording.Directory;
                figures.Problem = problem;
                figures_.Recording = figures;
            }
        }
        recordingFinished_.notify_all();
    });
}

CalibrationOutcome CameraService::Calibrate(const CalibrationRequest& request) {
    CalibrationOutcome outcome;
    Call([&](CaptureSession* session) {
        if (session == nullptr) FailRuntime("the camera is gone; bring it back first");
        if (collector_ == nullptr) FailUsage("the stream is stopped: start it to calibrate");
        {
            std::lock_guard<std::mutex> hold(figuresLock_);
            figures_.Calibrating = request.Kind->Name;
        }
        camera::SimulatedCamera& camera = session->Camera();
        const camera::SceneKind before = camera.Scene();
        camera.ShowScene(request.Scene);
        std::string failure;
        bool usage = false;
        try {
            outcome = RunCalibration(*session, *collector_, *request.Kind, request.Force,
                                     [this](DeliveredPicture& picture) { Deliver(picture); });
        } catch (const CommandFailure& problem) {
            failure = problem.what();
            usage = problem.Status() == kUsageError;
        }
        camera.ShowScene(before);
        {
            std::lock_guard<std::mutex> hold(figuresLock_);
            figures_.Calibrating.clear();
        }
        if (usage) FailUsage(failure);
        if (failure.empty() && outcome.Kept) return;
        // The driver holds the refused table until it reads the files again, which it does when
        // its stream opens.
        const std::string closed = Reopen(options_.Size, collector_ != nullptr);
        if (failure.empty()) failure = "refused: " + outcome.Refusal + "; the previous file stays";
        FailRuntime(closed.empty() ? failure : failure + "; " + closed);
    });
    return outcome;
}

std::string CameraService::Shutdown() {
    {
        std::lock_guard<std::mutex> hold(jobsLock_);
        if (stopping_) return shutdownProblem_;
        stopping_ = true;
    }
    jobsWaiting_.notify_all();
    if (thread_.joinable()) thread_.join();
    hub_.Stop();
    shutdownProblem_ = Close();
    if (finisher_.joinable()) finisher_.join();
    return shutdownProblem_;
}

void CameraService::Loop() {
    std::unique_lock<std::mutex> hold(jobsLock_);
    while (true) {
        RunJobs(hold);
        if (stopping_) break;
        if (collector_ != nullptr) {
            hold.unlock();
            Collect();
            UpdateFigures(false);
            hold.lock();
        } else {
            jobsWaiting_.wait_for(hold, std::chrono::milliseconds(50), [&] { return stopping_ || !jobs_.empty(); });
        }
    }
    // Jobs that came in the meantime fail rather than wait for ever.
    for (auto& job : jobs_) {
        hold.unlock();
        job();
        hold.lock();
    }
    jobs_.clear();
}

void CameraService::RunJobs(std::unique_lock<std::mutex>& hold) {
    while (!jobs_.empty()) {
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        hold.unlock();
        job();
        hold.lock();
    }
}

std::string CameraService::Reopen(FrameSize size, bool run) {
    const std::string closed = Close();
    Open(size);
    if (run) StartStream();
    return closed;
}

void CameraService::Open(FrameSize size) {
    SessionOptions options = options_;
    options.Size = size;
    try {
        session_ = std::make_unique<CaptureSession>(options);
    } catch (const CommandFailure& failure) {
        std::lock_guard<std::mutex> hold(figuresLock_);
        figures_.Connected = false;
        figures_.Running = false;
        figures_.Problem = failure.what();
        throw;
    }
    std::vector<OfferedFormat> formats;
    for (const KSDATARANGE* range : session_->Adapter().Formats(0)) {
        if (range->FormatSize < sizeof(KS_DATARANGE_VIDEO)) continue;
        const auto* video = reinterpret_cast<const KS_DATARANGE_VIDEO*>(range);
        const LONGLONG interval = video->VideoInfoHeader.AvgTimePerFrame;
        formats.push_back({static_cast<uint32_t>(video->VideoInfoHeader.bmiHeader.biWidth),
                           static_cast<uint32_t>(video->VideoInfoHeader.bmiHeader.biHeight),
                           interval > 0 ? 1e7 / static_cast<double>(interval) : 0});
    }
    options_.Size = size;
    std::lock_guard<std::mutex> hold(figuresLock_);
    formats_ = std::move(formats);
    const RecordingFigures lastRecording = figures_.Recording;
    figures_ = CameraFigures();
    figures_.Recording = lastRecording;
    figures_.Connected = true;
    figures_.Width = size.Width;
    figures_.Height = size.Height;
}

std::string CameraService::Close() {
    if (session_ == nullptr) return "";
    StopStream();
    const NTSTATUS status = session_->Close();
    session_.reset();
    std::string problem;
    if (!NT_SUCCESS(status)) problem = "the driver did not shut down cleanly (status " + StatusText(status) + ")";
    const std::string stored = StoreRegistry();
    if (problem.empty() && !stored.empty()) problem = "the settings could not be stored: " + stored;
    std::lock_guard<std::mutex> hold(figuresLock_);
    figures_.Connected = false;
    figures_.Running = false;
    return problem;
}

void CameraService::StartStream() {
    collector_ = std::make_unique<PictureCollector>(session_->Stream(), session_->ImageSize(),
                                                    session_->FrameInterval(), buffers_);
    collector_->PrepareBuffers();
    const NTSTATUS status = session_->Run();
    if (!NT_SUCCESS(status)) {
        collector_.reset();
        FailRuntime("the stream did not start (status " + StatusText(status) + ")");
    }
    LONGLONG periods = 0;
    session_->DroppedFrames(&periods, &droppedAtStart_);
    lastUpdate_ = host::Now();
    deliveredAtUpdate_ = 0;
    cpuAtUpdate_ = ProcessCpuSeconds();
    std::lock_guard<std::mutex> hold(figuresLock_);
    figures_.Running = true;
    figures_.Delivered = 0;
    figures_.DriverDropped = 0;
    figures_.FramesPerSecond = 0;
    figures_.Problem.clear();
}

void CameraService::StopStream() {
    if (collector_ == nullptr) return;
    UpdateFigures(true);
    EndRecording("");
    session_->Stop();
    collector_->Drain();
    collector_.reset();
    // The driver keeps its settings in the registry when the stream stops; the file gets them now.
    StoreRegistry();
    std::lock_guard<std::mutex> hold(figuresLock_);
    figures_.Running = false;
    figures_.FramesPerSecond = 0;
}

void CameraService::Collect() {
    const std::string failure = collector_->CollectOnce([this](DeliveredPicture& picture) { Deliver(picture); });
    if (failure.empty()) return;
    // The camera went (or the stream failed): the session is of no more use until it is
    // brought back.
    EndRecording("the recording ended when the stream failed: " + failure);
    session_->Stop();
    collector_->Drain();
    collector_.reset();
    std::lock_guard<std::mutex> hold(figuresLock_);
    figures_.Running = false;
    figures_.Connected = false;
    figures_.FramesPerSecond = 0;
    figures_.Problem = failure;
}

void CameraService::Deliver(DeliveredPicture& picture) {
    if (recording_ != nullptr) recording_->Add(picture);
    hub_.Offer(picture.Pixels, session_->Width(), session_->Height());
}

void CameraService::UpdateFigures(bool force) {
    if (collector_ == nullptr) return;
    const int64_t now = host::Now();
    if (!force && now - lastUpdate_ < kFiguresInterval) return;
    LONGLONG periods = 0, dropped = 0;
    session_->DroppedFrames(&periods, &dropped);
    ControlReading exposure;
    ReadControl(session_->Adapter(), *FindSetting("Exposal"), &exposure);
    const uint64_t delivered = collector_->Delivered();
    const double cpu = ProcessCpuSeconds();
    const double seconds = static_cast<double>(now - lastUpdate_) / host::kSecond;
    if (recording_ != nullptr && !recording_->Failure().empty()) EndRecording("");
    std::lock_guard<std::mutex> hold(figuresLock_);
    if (recording_ != nullptr) recording_->Fill(&figures_.Recording);
    figures_.Delivered = delivered;
    figures_.DriverDropped = dropped - droppedAtStart_;
    figures_.Exposure = exposure.Number;
    if (delivered > deliveredAtUpdate_ && seconds > 0) {
        figures_.FramesPerSecond = static_cast<double>(delivered - deliveredAtUpdate_) / seconds;
        figures_.CpuMsPerFrame = (cpu - cpuAtUpdate_) * 1e3 / static_cast<double>(delivered - deliveredAtUpdate_);
    }
    lastUpdate_ = now;
    deliveredAtUpdate_ = delivered;
    cpuAtUpdate_ = cpu;
}

}  // namespace vexacam::tools
