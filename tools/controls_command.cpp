// vexacam controls: every property of the three device property sets, by readable name, id,
// current value and published range; get or set one by name or by set and id. Everything goes
// through the framework's property requests, as an application's would, so a set is stored by
// the driver exactly as it would be from any client, and reaches the registry when the adapter
// is shut down at the end of the command.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "camera/simulated_camera.h"
#include "host/files/machine_root.h"
#include "host/framework/linked_driver.h"
#include "tools/camera_control_names.h"
#include "tools/command.h"

namespace vexacam::tools {
namespace {

// How a property's value is laid out in its request.
enum class ValueShape { Ulong, Window, ProcAmp, VideoControl };

struct ControlName {
    const char* SetName;
    const GUID* Set;
    ULONG Id;
    const char* Name;
    ValueShape Shape;
    ULONG DataSize;  // video control records differ in size
};

#define PROCAMP(id, name) \
    {"procamp", &PROPSETID_VIDCAP_VIDEOPROCAMP, id, name, ValueShape::ProcAmp, sizeof(KSPROPERTY_VIDEOPROCAMP_S)}
#define VIDEOCONTROL(id, name, record) \
    {"videocontrol", &PROPSETID_VIDCAP_VIDEOCONTROL, id, name, ValueShape::VideoControl, sizeof(record)}

// The camera control set's names come from the program's one name table.
std::vector<ControlName> AllControls() {
    std::vector<ControlName> controls = {
        VIDEOCONTROL(KSPROPERTY_VIDEOCONTROL_CAPS, "Caps", KSPROPERTY_VIDEOCONTROL_CAPS_S),
        VIDEOCONTROL(KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE, "ActualFrameRate",
                     KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S),
        VIDEOCONTROL(KSPROPERTY_VIDEOCONTROL_FRAME_RATES, "FrameRates", KSMULTIPLE_ITEM),
        VIDEOCONTROL(KSPROPERTY_VIDEOCONTROL_MODE, "Mode", KSPROPERTY_VIDEOCONTROL_MODE_S),
    };
    for (ULONG id = 0; id < kCameraControlCount; ++id) {
        const CameraControlId control = static_cast<CameraControlId>(id);
        const bool window = control == kControlCameraWindow;
        controls.push_back({"camera", &CameraControlSet, id, CameraControlName(control),
                            window ? ValueShape::Window : ValueShape::Ulong,
                            window ? kCameraWindowBytes : ULONG{sizeof(ULONG)}});
    }
    const ControlName procamp[] = {
        PROCAMP(KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, "Brightness"),
        PROCAMP(KSPROPERTY_VIDEOPROCAMP_CONTRAST, "Contrast"),
        PROCAMP(KSPROPERTY_VIDEOPROCAMP_SATURATION, "Saturation"),
        PROCAMP(KSPROPERTY_VIDEOPROCAMP_SHARPNESS, "Sharpness"),
        PROCAMP(KSPROPERTY_VIDEOPROCAMP_GAMMA, "Gamma"),
        PROCAMP(KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, "WhiteBalance"),
        PROCAMP(KSPROPERTY_VIDEOPROCAMP_GAIN, "Gain"),
    };
    controls.insert(controls.end(), std::begin(procamp), std::end(procamp));
    return controls;
}

const std::vector<ControlName> kControls = AllControls();

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "camera" / "procamp" / "videocontrol" (with a few spellings people use).
const char* CanonicalSet(const std::string& text) {
    const std::string set = Lower(text);
    if (set == "camera" || set == "cameracontrol" || set == "private") return "camera";
    if (set == "procamp" || set == "videoprocamp" || set == "amplifier") return "procamp";
    if (set == "videocontrol" || set == "video") return "videocontrol";
    return nullptr;
}

// Takes the property from the front of *args: "SET ID", "SET.NAME" or a NAME that only one set
// uses (case does not matter). Leaves the values behind.
bool FindControl(std::vector<std::string>* args, const ControlName** found, std::string* problem) {
    if (args->empty()) {
        *problem = "name the property (see 'vexacam controls list')";
        return false;
    }
    std::string first = (*args)[0];
    if (const char* set = CanonicalSet(first); set != nullptr && args->size() >= 2) {
        char* end = nullptr;
        const std::string second = (*args)[1];
        const unsigned long id = std::strtoul(second.c_str(), &end, 0);
        if (second.empty() || *end != '\0') {
            // "procamp gamma": a name within the set.
            args->erase(args->begin());
            (*args)[0] = std::string(set) + "." + second;
            return FindControl(args, found, problem);
        }
        for (const ControlName& control : kControls) {
            if (control.SetName == std::string(set) && control.Id == id) {
                *found = &control;
                args->erase(args->begin(), args->begin() + 2);
                return true;
            }
        }
        *problem = "no property " + second + " in the " + set + " set";
        return false;
    }
    const size_t dot = first.find('.');
    const char* set = dot == std::string::npos ? nullptr : CanonicalSet(first.substr(0, dot));
    const std::string name = Lower(dot == std::string::npos ? first : first.substr(dot + 1));
    int matches = 0;
    for (const ControlName& control : kControls) {
        if (Lower(control.Name) != name || (set != nullptr && control.SetName != std::string(set))) continue;
        *found = &control;
        ++matches;
    }
    if (matches == 1) {
        args->erase(args->begin());
        return true;
    }
    *problem = matches == 0 ? "no property named '" + first + "'"
                            : "'" + first + "' is in more than one set: say camera." + first + " or procamp." + first;
    return false;
}

struct ControlsOptions {
    std::string machineRoot;
    std::vector<std::string> args;
    std::string flags;  // procamp sets: auto or manual
};

constexpr ULONG kNoValue = 0xA5A5A5A5;  // left in the buffer when a get writes nothing

std::string FlagsText(ULONG flags) {
    if (flags == KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO) return "auto";
    if (flags == KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL) return "manual";
    return std::to_string(flags);
}

// The published range of a procamp item, read from the table the driver registered.
std::string PublishedRange(const host::AdapterClient& adapter, const ControlName& control) {
    const HW_STREAM_HEADER& header = adapter.StreamHeader();
    for (ULONG s = 0; s < header.NumDevPropArrayEntries; ++s) {
        const KSPROPERTY_SET& set = header.DevicePropertiesArray[s];
        if (!IsEqualGUID(*set.Set, *control.Set)) continue;
        for (ULONG i = 0; i < set.PropertiesCount; ++i) {
            const KSPROPERTY_ITEM& item = set.PropertyItem[i];
            if (item.PropertyId != control.Id || item.Values == nullptr) continue;
            std::string text;
            for (ULONG m = 0; m < item.Values->MembersListCount; ++m) {
                const KSPROPERTY_MEMBERSLIST& list = item.Values->MembersList[m];
                if (list.MembersHeader.MembersFlags == KSPROPERTY_MEMBER_STEPPEDRANGES) {
                    const auto* steps = static_cast<const KSPROPERTY_STEPPING_LONG*>(list.Members);
                    text += std::to_string(steps->Bounds.SignedMinimum) + ".." +
                            std::to_string(steps->Bounds.SignedMaximum) + " step " +
                            std::to_string(steps->SteppingDelta);
                } else if (list.MembersHeader.MembersFlags == KSPROPERTY_MEMBER_VALUES) {
                    text += ", default " + std::to_string(*static_cast<const LONG*>(list.Members));
                }
            }
            return text;
        }
    }
    return "-";
}

// Reads the property; the text of its value, or why there is none.
NTSTATUS ReadValue(host::AdapterClient& adapter, const ControlName& control, std::string* text) {
    switch (control.Shape) {
    case ValueShape::Ulong: {
        ULONG value = kNoValue;
        const NTSTATUS status = adapter.GetProperty({*control.Set, control.Id, &value, sizeof(value)});
        *text = value == kNoValue ? "(none)" : std::to_string(value);
        return status;
    }
    case ValueShape::Window: {
        ULONG window[4] = {};
        const NTSTATUS status = adapter.GetProperty({*control.Set, control.Id, window, sizeof(window)});
        *text = "height " + std::to_string(window[0]) + " width " + std::to_string(window[1]) + " x " +
                std::to_string(window[2]) + " y " + std::to_string(window[3]);
        return status;
    }
    case ValueShape::ProcAmp: {
        KSPROPERTY_VIDEOPROCAMP_S data{};
        const NTSTATUS status = adapter.GetProperty({*control.Set, control.Id, &data, sizeof(data), sizeof(data)});
        *text = std::to_string(data.Value);
        if (data.Capabilities != 0) *text += " (" + FlagsText(data.Flags) + ")";
        return status;
    }
    case ValueShape::VideoControl: {
        KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S data{};  // the largest of the four records
        // Every record but the frame-rate list starts with the property itself.
        const ULONG size = control.DataSize;
        const ULONG input = control.Id == KSPROPERTY_VIDEOCONTROL_FRAME_RATES ? sizeof(KSPROPERTY) : size;
        ULONG returned = 0;
        const NTSTATUS status = adapter.GetProperty({*control.Set, control.Id, &data, size, input}, &returned);
        const auto* words = reinterpret_cast<const ULONG*>(&data);
        if (returned == 0) {
            *text = "(none)";
        } else if (control.Id == KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE) {
            *text = std::to_string(data.CurrentActualFrameRate) + " fps (max " +
                    std::to_string(data.CurrentMaxAvailableFrameRate) + ")";
        } else {
            *text = std::to_string(words[7]);  // Caps or Mode, after Property and StreamIndex
        }
        return status;
    }
    }
    return STATUS_NOT_IMPLEMENTED;
}

NTSTATUS WriteValue(host::AdapterClient& adapter, const ControlName& control,
                    const std::vector<ULONG>& values, ULONG flags) {
    switch (control.Shape) {
    case ValueShape::Ulong: {
        ULONG value = values[0];
        return adapter.SetProperty({*control.Set, control.Id, &value, sizeof(value)});
    }
    case ValueShape::Window: {
        ULONG window[4] = {values[0], values[1], values[2], values[3]};
        return adapter.SetProperty({*control.Set, control.Id, window, sizeof(window)});
    }
    case ValueShape::ProcAmp: {
        KSPROPERTY_VIDEOPROCAMP_S data{};
        data.Value = static_cast<LONG>(values[0]);
        data.Flags = flags;
        return adapter.SetProperty({*control.Set, control.Id, &data, sizeof(data), sizeof(data)});
    }
    case ValueShape::VideoControl: {
        KSPROPERTY_VIDEOCONTROL_MODE_S data{};
        data.Mode = static_cast<LONG>(values[0]);
        return adapter.SetProperty({*control.Set, control.Id, &data, sizeof(data), sizeof(data)});
    }
    }
    return STATUS_NOT_IMPLEMENTED;
}

std::string StatusText(NTSTATUS status) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(static_cast<uint32_t>(status)));
    return text;
}

int ListControls(host::AdapterClient& adapter) {
    std::printf("%-12s %3s  %-24s %-36s %s\n", "set", "id", "name", "value", "range");
    for (const ControlName& control : kControls) {
        std::string value;
        const NTSTATUS status = ReadValue(adapter, control, &value);
        if (!NT_SUCCESS(status)) value = "(get failed " + StatusText(status) + ")";
        std::printf("%-12s %3lu  %-24s %-36s %s\n", control.SetName, static_cast<unsigned long>(control.Id),
                    control.Name, value.c_str(), PublishedRange(adapter, control).c_str());
    }
    return 0;
}

// Parses "12", "0x1F" or "-3" as a 32-bit value.
bool ParseValue(const std::string& text, ULONG* value) {
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || parsed < -2147483648LL || parsed > 4294967295LL) return false;
    *value = static_cast<ULONG>(parsed);
    return true;
}

int Usage(const std::string& problem) {
    std::fprintf(stderr, "vexacam controls: %s\n", problem.c_str());
    return kUsageError;
}

int RunControls(const ControlsOptions& options) {
    if (options.args.empty()) return Usage("say list, get or set");
    const std::string& action = options.args[0];
    if (action != "list" && action != "get" && action != "set") return Usage("unknown action '" + action + "'");
    std::vector<std::string> rest(options.args.begin() + 1, options.args.end());
    const ControlName* control = nullptr;
    std::string problem;
    if (action != "list" && !FindControl(&rest, &control, &problem)) return Usage(problem);
    std::vector<ULONG> values;
    for (const std::string& text : rest) {
        ULONG value;
        if (!ParseValue(text, &value)) return Usage("not a value: '" + text + "'");
        values.push_back(value);
    }
    ULONG flags = 0;
    if (!options.flags.empty()) {
        if (options.flags != "auto" && options.flags != "manual") return Usage("--flags is auto or manual");
        flags = options.flags == "auto" ? KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO : KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;
    }
    if (action == "get" && !values.empty()) return Usage("get takes no value");
    if (action == "set" && values.size() != (control->Shape == ValueShape::Window ? 4u : 1u)) {
        return Usage(control->Shape == ValueShape::Window ? "the window takes four values: height width x y"
                                                          : "set takes one value");
    }

    if (!options.machineRoot.empty()) host::SetMachineRoot(options.machineRoot);
    auto camera = std::make_unique<camera::SimulatedCamera>();  // outlives the adapter
    std::unique_ptr<host::LoadedDriver> driver;
    std::unique_ptr<host::AdapterClient> adapter;
    NTSTATUS status = host::LoadedDriver::LoadLinked(&driver);
    if (NT_SUCCESS(status)) status = driver->CreateAdapter(camera->PhysicalDeviceObject(), &adapter);
    if (!NT_SUCCESS(status)) {
        std::fprintf(stderr, "vexacam controls: the driver did not come up (status %s)\n", StatusText(status).c_str());
        return kRuntimeError;
    }
    int result = 0;
    if (action == "list") {
        result = ListControls(*adapter);
    } else {
        std::string text;
        status = action == "get" ? ReadValue(*adapter, *control, &text) : WriteValue(*adapter, *control, values, flags);
        if (NT_SUCCESS(status) && action == "set") status = ReadValue(*adapter, *control, &text);
        if (NT_SUCCESS(status)) {
            std::printf("%s.%s = %s\n", control->SetName, control->Name, text.c_str());
        } else {
            std::fprintf(stderr, "vexacam controls: %s %s.%s failed with status %s\n", action.c_str(),
                         control->SetName, control->Name, StatusText(status).c_str());
            result = kRuntimeError;
        }
    }
    // Shutting the adapter down writes the settings to the registry.
    if (!NT_SUCCESS(adapter->Uninitialize())) result = kRuntimeError;
    adapter.reset();
    driver.reset();
    return result;
}

void AddControlsCommand(CLI::App& program) {
    auto options = std::make_shared<ControlsOptions>();
    CLI::App* command = program.add_subcommand(
        "controls", "List, get or set the camera's properties (stored in the machine's registry)");
    command->footer(
        "Actions:\n"
        "  list                       every property with its value and published range\n"
        "  get NAME | get SET ID      one property\n"
        "  set NAME VALUE | set SET ID VALUE...\n"
        "SET is camera, procamp or videocontrol; NAME as listed (e.g. Exposal, procamp.Brightness).\n"
        "The camera window (camera 18) takes four values: height width x y.");
    command->add_option("--machine-root", options->machineRoot, "Directory of the machine's registry and SystemRoot");
    command->add_option("--flags", options->flags, "For procamp sets: auto or manual");
    command->add_option("action", options->args, "list | get ... | set ...")->required();
    command->callback([options] { SetExitStatus(RunControls(*options)); });
}

CommandRegistration registration("controls", AddControlsCommand);

}  // namespace
}  // namespace vexacam::tools
