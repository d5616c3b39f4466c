// Parsing of the camera's OPTION=VALUE text.
#include "camera/camera_options.h"

#include <charconv>
#include <cstdlib>

namespace camera {
namespace {

struct NamedStatus {
    const char* Name;
    USBD_STATUS Status;
};

// The error kinds a driver tells apart, and a few it does not.
constexpr NamedStatus kTransferErrors[] = {
    {"invalid-parameter", USBD_STATUS_INVALID_PARAMETER},
    {"babble", USBD_STATUS_BABBLE_DETECTED},
    {"xact", USBD_STATUS_XACT_ERROR},
    {"not-responding", USBD_STATUS_DEV_NOT_RESPONDING},
    {"crc", USBD_STATUS_CRC},
    {"other", USBD_STATUS_REQUEST_FAILED},
};

template <typename T>
bool ParseNumber(std::string_view text, T* value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool ParseDouble(std::string_view text, double* value) {
    std::string copy(text);
    char* end = nullptr;
    *value = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end == copy.c_str() + copy.size();
}

// "<frame>[.<transfer>]"
bool ParseFaultPosition(std::string_view text, FaultSpec* fault) {
    size_t dot = text.find('.');
    if (!ParseNumber(text.substr(0, dot), &fault->Frame)) return false;
    if (dot == std::string_view::npos) return true;
    return ParseNumber(text.substr(dot + 1), &fault->Transfer) && fault->Transfer >= 1;
}

struct NamedFault {
    const char* Name;
    FaultKind Kind;
    Endpoint Where;
};
const NamedFault kFaults[] = {
    {"stall", FaultKind::Stall, Endpoint::Video},
    {"short", FaultKind::ShortFrame, Endpoint::Video},
    {"long", FaultKind::LongFrame, Endpoint::Video},
    {"extra", FaultKind::ExtraTransfer, Endpoint::Video},
    {"disconnect", FaultKind::Disconnect, Endpoint::Video},
    {"command-stall", FaultKind::Stall, Endpoint::Command},
    {"status-stall", FaultKind::Stall, Endpoint::Status},
    {"command-error", FaultKind::TransferError, Endpoint::Command},
    {"status-error", FaultKind::TransferError, Endpoint::Status},
    {"unresponsive", FaultKind::Unresponsive, Endpoint::Video},
    {"command-unresponsive", FaultKind::Unresponsive, Endpoint::Command},
    {"status-unresponsive", FaultKind::Unresponsive, Endpoint::Status},
};

bool ParseFaultKind(std::string_view kind, FaultSpec* fault) {
    if (TransferErrorStatus(kind, &fault->Status)) {
        fault->Kind = FaultKind::TransferError;
        return true;
    }
    for (const NamedFault& named : kFaults) {
        if (kind == named.Name) {
            fault->Kind = named.Kind;
            fault->Where = named.Where;
            return true;
        }
    }
    return false;
}

bool ParseFault(std::string_view value, CameraOptions* options, std::string* error) {
    FaultSpec fault;
    size_t at = value.find('@');
    if (!ParseFaultKind(value.substr(0, at), &fault)) {
        *error = "unknown fault kind '" + std::string(value.substr(0, at)) + "' (kinds: " + FaultKindNames() + ")";
        return false;
    }
    if (at != std::string_view::npos) {
        if (fault.Where == Endpoint::Video) {
            if (!ParseFaultPosition(value.substr(at + 1), &fault)) {
                *error = "bad fault position '" + std::string(value.substr(at + 1)) +
                         "' (expected <frame>[.<transfer>])";
                return false;
            }
        } else if (!ParseNumber(value.substr(at + 1), &fault.Transfer) || fault.Transfer < 1) {
            *error = "bad transfer count '" + std::string(value.substr(at + 1)) + "'";
            return false;
        }
    }
    options->Faults.push_back(fault);
    return true;
}

bool ParseConfigurationShape(std::string_view value, ConfigurationShape* shape) {
    if (value == "normal") *shape = ConfigurationShape::Normal;
    else if (value == "truncated") *shape = ConfigurationShape::Truncated;
    else if (value == "no-interface") *shape = ConfigurationShape::NoInterface;
    else return false;
    return true;
}

const char* ExpectedValues(std::string_view name) {
    if (name == "fps") return "frames a second, above 0 and at most 1000";
    if (name == "endpoints") return "1, 2 or 3";
    if (name == "buffer") return "1 to 16 frames";
    if (name == "seed") return "a whole number";
    if (name == "noise") return "a sigma of 0 to 64 grey levels";
    if (name == "config") return "normal, truncated or no-interface";
    return "chart, flat or dark";  // scene
}

}  // namespace

bool ParseScene(std::string_view value, SceneKind* scene) {
    if (value == "chart") *scene = SceneKind::Chart;
    else if (value == "flat") *scene = SceneKind::Flat;
    else if (value == "dark") *scene = SceneKind::Dark;
    else return false;
    return true;
}

const char* SceneName(SceneKind scene) {
    return scene == SceneKind::Flat ? "flat" : scene == SceneKind::Dark ? "dark" : "chart";
}

std::string FaultKindNames() {
    std::string names;
    for (const NamedStatus& named : kTransferErrors) names += std::string(names.empty() ? "" : ", ") + named.Name;
    for (const NamedFault& named : kFaults) names += std::string(", ") + named.Name;
    return names;
}

bool TransferErrorStatus(std::string_view name, USBD_STATUS* status) {
    for (const NamedStatus& named : kTransferErrors) {
        if (name == named.Name) {
            *status = named.Status;
            return true;
        }
    }
    return false;
}

bool ApplyCameraOption(std::string_view text, CameraOptions* options, std::string* error) {
    size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        *error = "camera option '" + std::string(text) + "' is not OPTION=VALUE";
        return false;
    }
    std::string_view name = text.substr(0, equals);
    std::string_view value = text.substr(equals + 1);
    bool ok = false;
    if (name == "fps") {
        ok = ParseDouble(value, &options->FramesPerSecond) && options->FramesPerSecond > 0 &&
             options->FramesPerSecond <= 1000;
    } else if (name == "endpoints") {
        ok = ParseNumber(value, &options->Endpoints) && options->Endpoints >= 1 &&
             options->Endpoints <= 3;
    } else if (name == "buffer") {
        ok = ParseNumber(value, &options->BufferedFrames) && options->BufferedFrames >= 1 &&
             options->BufferedFrames <= 16;
    } else if (name == "seed") {
        ok = ParseNumber(value, &options->Seed);
    } else if (name == "noise") {
        ok = ParseDouble(value, &options->NoiseSigma) && options->NoiseSigma >= 0 &&
             options->NoiseSigma <= 64;
    } else if (name == "config") {
        ok = ParseConfigurationShape(value, &options->Configuration);
    } else if (name == "scene") {
        ok = ParseScene(value, &options->Scene);
    } else if (name == "fault") {
        return ParseFault(value, options, error);
    } else {
        *error = "unknown camera option '" + std::string(name) +
                 "' (options: fps, endpoints, buffer, seed, noise, config, scene, fault)";
        return false;
    }
    if (!ok) {
        *error = "bad value '" + std::string(value) + "' for camera option " + std::string(name) + " (" +
                 ExpectedValues(name) + ")";
    }
    return ok;
}

}  // namespace camera
