#include "tools/frame_record.h"

#include <nlohmann/json.hpp>

#include "tools/command.h"

namespace vexacam::tools {
namespace {

using nlohmann::json;

constexpr const char* kHex = "0123456789abcdef";

std::string HexOf(const GainTable& table) {
    std::string text;
    for (uint8_t byte : table) {
        text.push_back(kHex[byte >> 4]);
        text.push_back(kHex[byte & 15]);
    }
    return text;
}

bool TableFromHex(const std::string& text, GainTable* table) {
    if (text.size() != 2 * table->size()) return false;
    for (size_t i = 0; i < table->size(); ++i) {
        const auto nibble = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        const int high = nibble(text[2 * i]), low = nibble(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        (*table)[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

json FileOrNull(const std::string& name) { return name.empty() ? json(nullptr) : json(name); }

}  // namespace

std::string RecordLine(const FrameRecord& r) {
    json settings = json::object();
    for (const auto& [name, value] : r.State.Settings) settings[name] = value;
    settings["OnePushWhiteBalance"] = r.State.WhiteBalancePending ? 1 : 0;
    settings["OnePushExposure"] = r.State.ExposurePending ? 1 : 0;
    json line = {
        {"frame", r.Frame},
        {"picture_number", r.PictureNumber},
        {"presentation_time_100ns", r.PresentationTime},
        {"duration_100ns", r.Duration},
        {"discontinuity", r.Discontinuity},
        {"dropped_so_far", r.DroppedSoFar},
        {"width", r.Width},
        {"height", r.Height},
        {"saved", r.Saved},
        {"files", r.Files},
        {"settings", settings},
        {"gain_map", FileOrNull(r.GainMapFile)},
        {"defect_table", FileOrNull(r.DefectTableFile)},
        {"replay_checked", r.ReplayChecked},
    };
    if (r.State.Tables.has_value()) {
        line["gain_tables"] = {{"R_Gain", HexOf(r.State.Tables->Red)},
                               {"G_Gain", HexOf(r.State.Tables->Green)},
                               {"B_Gain", HexOf(r.State.Tables->Blue)}};
    }
    return line.dump();
}

FrameRecord ParseRecordLine(const std::string& text, size_t lineNumber) {
    const std::string where = "line " + std::to_string(lineNumber) + " of the record";
    FrameRecord r;
    try {
        const json line = json::parse(text);
        r.Frame = line.at("frame").get<uint32_t>();
        r.PictureNumber = line.at("picture_number").get<int64_t>();
        r.PresentationTime = line.at("presentation_time_100ns").get<int64_t>();
        r.Duration = line.at("duration_100ns").get<int64_t>();
        r.Discontinuity = line.at("discontinuity").get<bool>();
        r.DroppedSoFar = line.at("dropped_so_far").get<int64_t>();
        r.Width = line.at("width").get<uint32_t>();
        r.Height = line.at("height").get<uint32_t>();
        r.Saved = line.at("saved").get<bool>();
        r.Files = line.at("files").get<std::vector<std::string>>();
        for (const auto& [name, value] : line.at("settings").items()) {
            const uint32_t number = value.get<uint32_t>();
            if (name == "OnePushWhiteBalance") {
                r.State.WhiteBalancePending = number != 0;
            } else if (name == "OnePushExposure") {
                r.State.ExposurePending = number != 0;
            } else {
                r.State.Settings[name] = number;
            }
        }
        if (!line.at("gain_map").is_null()) r.GainMapFile = line.at("gain_map").get<std::string>();
        if (!line.at("defect_table").is_null()) r.DefectTableFile = line.at("defect_table").get<std::string>();
        r.ReplayChecked = line.value("replay_checked", false);
        if (line.contains("gain_tables")) {
            GainTables tables;
            const json& hex = line.at("gain_tables");
            if (!TableFromHex(hex.at("R_Gain").get<std::string>(), &tables.Red) ||
                !TableFromHex(hex.at("G_Gain").get<std::string>(), &tables.Green) ||
                !TableFromHex(hex.at("B_Gain").get<std::string>(), &tables.Blue)) {
                FailUsage(where + ": a gain table is not 256 bytes of hex");
            }
            r.State.Tables = tables;
        }
    } catch (const json::exception& bad) {
        FailUsage(where + " is not a frame record: " + bad.what());
    }
    return r;
}

}  // namespace vexacam::tools
