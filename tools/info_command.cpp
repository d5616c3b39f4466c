// vexacam info: loads the driver in the host, brings up an adapter for a simulated camera and
// prints the stream description the driver gives: its streams, formats and property sets.
#include <cstdio>
#include <memory>
#include <string>

#include "camera/simulated_camera.h"
#include "controls/camera_control_ids.h"
#include "host/files/machine_root.h"
#include "host/framework/linked_driver.h"
#include "tools/command.h"

namespace vexacam::tools {
namespace {

struct InfoOptions {
    std::string machineRoot;
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

int RunInfo(const InfoOptions& options) {
    if (!options.machineRoot.empty()) host::SetMachineRoot(options.machineRoot);
    // Declared first: the camera must outlive the adapter bound to it.
    auto camera = std::make_unique<camera::SimulatedCamera>();
    std::unique_ptr<host::LoadedDriver> driver;
    NTSTATUS status = host::LoadedDriver::LoadLinked(&driver);
    if (!NT_SUCCESS(status)) {
        std::fprintf(stderr, "vexacam info: the driver did not load (status 0x%08lX)\n",
                     static_cast<unsigned long>(status));
        return kRuntimeError;
    }
    std::unique_ptr<host::AdapterClient> adapter;
    status = driver->CreateAdapter(camera->PhysicalDeviceObject(), &adapter);
    if (!NT_SUCCESS(status)) {
        std::fprintf(stderr, "vexacam info: the adapter did not come up (status 0x%08lX)\n",
                     static_cast<unsigned long>(status));
        return kRuntimeError;
    }
    std::printf("Adapter: simulated camera, stream descriptor %lu bytes\n",
                static_cast<unsigned long>(adapter->StreamDescriptorSize()));
    PrintDescription(*adapter);
    status = adapter->Uninitialize();
    adapter.reset();
    driver.reset();
    return NT_SUCCESS(status) ? 0 : kRuntimeError;
}

void AddInfoCommand(CLI::App& program) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* info =
        program.add_subcommand("info", "Print the driver's stream, format and property description");
    info->add_option("--machine-root", options->machineRoot,
                     "Directory of the machine's registry and SystemRoot");
    info->callback([options] { SetExitStatus(RunInfo(*options)); });
}

CommandRegistration reg("info", AddInfoCommand);

}  // namespace
}  // namespace vexacam::tools
