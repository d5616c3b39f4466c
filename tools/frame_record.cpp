#include "tools/frame_record.h"

#include <nlohmann/json.hpp>

#include <limits>
#include <stdexcept>

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

// A whole number of the field's type. nlohmann converts a fraction, a negative number or one
// too large without a word (and a float out of range undefinedly), so the record is checked.
template <typename Whole>
Whole WholeNumber(const json& value, const std::string& what) {
    const bool fits = value.is_number_unsigned()  ? value.get<uint64_t>() <= uint64_t(std::numeric_limits<Whole>::max())
                      : value.is_number_integer() ? value.get<int64_t>() >= int64_t(std::numeric_limits<Whole>::min())
                                                  : false;
    if (!fits) throw std::range_error(what + " is not a whole number from " + std::to_string(std::numeric_limits<Whole>::min()) +
                                      " to " + std::to_string(std::numeric_limits<Whole>::max()));
    return value.get<Whole>();
}

// The files a record names sit beside it: a plain file name, never a path out of the directory.
std::string PlainFileName(const json& value, const std::string& what) {
    const std::string name = value.get<std::string>();
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos) {
        throw std::range_error(what + " '" + name + "' is not a file name beside the record");
    }
    return name;
}

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
        r.Frame = WholeNumber<uint32_t>(line.at("frame"), "frame");
        r.PictureNumber = WholeNumber<int64_t>(line.at("picture_number"), "picture_number");
        r.PresentationTime = WholeNumber<int64_t>(line.at("presentation_time_100ns"), "presentation_time_100ns");
        r.Duration = WholeNumber<int64_t>(line.at("duration_100ns"), "duration_100ns");
        r.Discontinuity = line.at("discontinuity").get<bool>();
        r.DroppedSoFar = WholeNumber<int64_t>(line.at("dropped_so_far"), "dropped_so_far");
        r.Width = WholeNumber<uint32_t>(line.at("width"), "width");
        r.Height = WholeNumber<uint32_t>(line.at("height"), "height");
        r.Saved = line.at("saved").get<bool>();
        for (const json& file : line.at("files")) r.Files.push_back(PlainFileName(file, "a file"));
        for (const auto& [name, value] : line.at("settings").items()) {
            const uint32_t number = WholeNumber<uint32_t>(value, name);
            if (name == "OnePushWhiteBalance") {
                r.State.WhiteBalancePending = number != 0;
            } else if (name == "OnePushExposure") {
                r.State.ExposurePending = number != 0;
            } else {
                r.State.Settings[name] = number;
            }
        }
        if (!line.at("gain_map").is_null()) r.GainMapFile = PlainFileName(line.at("gain_map"), "gain_map");
        if (!line.at("defect_table").is_null()) r.DefectTableFile = PlainFileName(line.at("defect_table"), "defect_table");
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
    } catch (const std::range_error& bad) {
        FailUsage(where + ": " + bad.what());
    }
    return r;
}

}  // namespace vexacam::tools
