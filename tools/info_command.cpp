// vexacam info: loads the driver in the host, brings up an adapter for a simulated camera and
// prints the stream description the driver gives: its streams, formats and property sets.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "controls/camera_control_ids.h"
#include "platform/ks.h"
#include "host/framework/client.h"
#include "tools/command.h"
#include "tools/driver_bringup.h"
#include "tools/machine_registry.h"
#include "tools/status_text.h"

namespace vexacam::tools {
namespace {

struct InfoOptions {
    std::string machineRoot;
    bool json = false;
};

struct KnownSet {
    const GUID* guid;
    const char* name;
};

const KnownSet kKnownSets[] = {
    {&PROPSETID_VIDCAP_VIDEOCONTROL, "video control"},
    {&CameraControlSet, "camera control (private)"},
    {&PROPSETID_VIDCAP_VIDEOPROCAMP, "video processing amplifier"},
    {&KSPROPSETID_Connection, "connection"},
    {&PROPSETID_VIDCAP_DROPPEDFRAMES, "dropped frames"},
};

std::string GuidText(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

const char* SetName(const GUID& g) {
    for (const KnownSet& known : kKnownSets) {
        if (IsEqualGUID(*known.guid, g)) return known.name;
    }
    return "unknown";
}

const char* SubtypeName(const GUID& g) {
    if (IsEqualGUID(g, MEDIASUBTYPE_RGB24)) return "RGB24";
    if (IsEqualGUID(g, MEDIASUBTYPE_RGB32)) return "RGB32";
    return "other";
}

void PrintPropertySets(const char* title, const KSPROPERTY_SET* sets, ULONG count) {
    std::printf("  %s (%lu):\n", title, static_cast<unsigned long>(count));
    for (ULONG i = 0; i < count; ++i) {
        const KSPROPERTY_SET& set = sets[i];
        std::printf("    %s %-28s %lu items\n", GuidText(*set.Set).c_str(), SetName(*set.Set),
                    static_cast<unsigned long>(set.PropertiesCount));
    }
}

void PrintFormat(ULONG index, const KSDATARANGE* range) {
    if (range->FormatSize < sizeof(KS_DATARANGE_VIDEO)) {
        std::printf("    %lu  (not a video range: %lu bytes)\n", static_cast<unsigned long>(index),
                    static_cast<unsigned long>(range->FormatSize));
        return;
    }
    const auto* video = reinterpret_cast<const KS_DATARANGE_VIDEO*>(range);
    const KS_VIDEOINFOHEADER& info = video->VideoInfoHeader;
    const LONGLONG interval = info.AvgTimePerFrame;
    const double fps = interval > 0 ? 1e7 / static_cast<double>(interval) : 0.0;
    std::printf("    %lu  %s %4ld x %-4ld  %8lld (%5.2f fps)  %9lu  %11lu\n",
                static_cast<unsigned long>(index), SubtypeName(range->SubFormat),
                static_cast<long>(info.bmiHeader.biWidth),
                static_cast<long>(info.bmiHeader.biHeight), static_cast<long long>(interval), fps,
                static_cast<unsigned long>(info.bmiHeader.biSizeImage),
                static_cast<unsigned long>(info.dwBitRate));
}

void PrintStream(const host::AdapterClient& adapter, ULONG number) {
    const HW_STREAM_INFORMATION* info = adapter.StreamInformation(number);
    const bool capture = IsEqualGUID(*info->Category, PINNAME_VIDEO_CAPTURE);
    std::printf("Stream %lu: %s, %lu instance(s), data flow %s, %lu medium(s)\n",
                static_cast<unsigned long>(number), capture ? "video capture" : "other",
                static_cast<unsigned long>(info->NumberOfPossibleInstances),
                info->DataFlow == KSPIN_DATAFLOW_OUT ? "out" : "in",
                static_cast<unsigned long>(info->MediumsCount));
    std::printf("  Formats (%lu):\n", static_cast<unsigned long>(info->NumberOfFormatArrayEntries));
    std::printf("    #  type  size         interval (100 ns)     image bytes    bit rate\n");
    const std::vector<const KSDATARANGE*> formats = adapter.Formats(number);
    for (ULONG i = 0; i < formats.size(); ++i) PrintFormat(i, formats[i]);
    PrintPropertySets("Stream property sets", info->StreamPropertiesArray,
                      info->NumStreamPropArrayEntries);
}

void PrintDescription(const host::AdapterClient& adapter) {
    const HW_STREAM_HEADER& header = adapter.StreamHeader();
    std::printf("Streams: %lu\n", static_cast<unsigned long>(header.NumberOfStreams));
    PrintPropertySets("Device property sets", header.DevicePropertiesArray,
                      header.NumDevPropArrayEntries);
    for (ULONG n = 0; n < header.NumberOfStreams; ++n) PrintStream(adapter, n);
}

nlohmann::json PropertySetsJson(const KSPROPERTY_SET* sets, ULONG count) {
    nlohmann::json list = nlohmann::json::array();
    for (ULONG i = 0; i < count; ++i) {
        list.push_back({{"guid", GuidText(*sets[i].Set)}, {"name", SetName(*sets[i].Set)}, {"items", sets[i].PropertiesCount}});
    }
    return list;
}

nlohmann::json FormatJson(ULONG index, const KSDATARANGE* range) {
    if (range->FormatSize < sizeof(KS_DATARANGE_VIDEO)) return {{"index", index}, {"type", "other"}};
    const KS_VIDEOINFOHEADER& info = reinterpret_cast<const KS_DATARANGE_VIDEO*>(range)->VideoInfoHeader;
    const LONGLONG interval = info.AvgTimePerFrame;
    return {{"index", index},
            {"type", SubtypeName(range->SubFormat)},
            {"width", info.bmiHeader.biWidth},
            {"height", info.bmiHeader.biHeight},
            {"frame_interval_100ns", interval},
            {"fps", interval > 0 ? 1e7 / static_cast<double>(interval) : 0.0},
            {"image_bytes", info.bmiHeader.biSizeImage},
            {"bit_rate", info.dwBitRate}};
}

nlohmann::json DescriptionJson(const host::AdapterClient& adapter) {
    const HW_STREAM_HEADER& header = adapter.StreamHeader();
    nlohmann::json streams = nlohmann::json::array();
    for (ULONG n = 0; n < header.NumberOfStreams; ++n) {
        const HW_STREAM_INFORMATION* info = adapter.StreamInformation(n);
        nlohmann::json formats = nlohmann::json::array();
        const std::vector<const KSDATARANGE*> ranges = adapter.Formats(n);
        for (ULONG i = 0; i < ranges.size(); ++i) formats.push_back(FormatJson(i, ranges[i]));
        streams.push_back({{"number", n},
                           {"category", IsEqualGUID(*info->Category, PINNAME_VIDEO_CAPTURE) ? "video capture" : "other"},
                           {"instances", info->NumberOfPossibleInstances},
                           {"data_flow", info->DataFlow == KSPIN_DATAFLOW_OUT ? "out" : "in"},
                           {"mediums", info->MediumsCount},
                           {"formats", formats},
                           {"property_sets", PropertySetsJson(info->StreamPropertiesArray, info->NumStreamPropArrayEntries)}});
    }
    return {{"stream_descriptor_bytes", adapter.StreamDescriptorSize()},
            {"device_property_sets", PropertySetsJson(header.DevicePropertiesArray, header.NumDevPropArrayEntries)},
            {"streams", streams}};
}

int RunInfo(const InfoOptions& options) {
    UseMachineRoot(options.machineRoot, false);
    KeepRegistryFileAsItIs();
    DriverOnCamera device;
    device.Attach();
    if (options.json) {
        std::printf("%s\n", DescriptionJson(device.Adapter()).dump().c_str());
    } else {
        std::printf("Adapter: simulated camera, stream descriptor %lu bytes\n",
                    static_cast<unsigned long>(device.Adapter().StreamDescriptorSize()));
        PrintDescription(device.Adapter());
    }
    const NTSTATUS status = device.Close();
    if (!NT_SUCCESS(status)) FailRuntime("the driver did not shut down cleanly (status " + StatusText(status) + ")");
    return kDone;
}

void AddInfoCommand(CLI::App& program) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* info =
        program.add_subcommand("info", "Print the driver's stream, format and property description");
    info->add_option("--machine-root", options->machineRoot,
                     "Directory of the machine's registry and SystemRoot");
    info->add_flag("--json", options->json, "The description as one JSON object");
    SetCommandAction(info, [options] { return RunInfo(*options); });
}

CommandRegistration reg("info", AddInfoCommand);

}  // namespace
}  // namespace vexacam::tools
