// Reading .reg text back into the hive. Bad lines are reported and skipped, so one slip in a
// hand edit never costs the rest of the machine's settings.
#include <cstdlib>

#include "host/registry/reg_file.h"
#include "host/registry/wide_text.h"

namespace host::registry {
namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

std::string DecodeToUtf8(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::vector<uint16_t> wide;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            wide.push_back(static_cast<uint16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
        return Utf16ToUtf8(wide.data(), wide.size());
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return bytes.substr(3);
    return bytes;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    for (char c : text) {
        if (c == '\n') {
            if (!current.empty() && current.back() == '\r') current.pop_back();
            lines.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
}

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Reads a quoted string starting at s[*pos] == '"'; leaves *pos after the closing quote.
bool ReadQuoted(const std::string& s, size_t* pos, std::string* out) {
    if (*pos >= s.size() || s[*pos] != '"') return false;
    out->clear();
    for (size_t i = *pos + 1; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            *out += s[++i];
        } else if (s[i] == '"') {
            *pos = i + 1;
            return true;
        } else {
            *out += s[i];
        }
    }
    return false;
}

bool ParseHexBytes(const std::string& list, std::vector<uint8_t>* data) {
    data->clear();
    std::string item;
    for (size_t i = 0; i <= list.size(); ++i) {
        if (i < list.size() && list[i] != ',') {
            if (list[i] != ' ' && list[i] != '\t' && list[i] != '\\') item += list[i];
            continue;
        }
        if (item.empty()) {
            if (i == list.size()) break;  // "hex:" with no bytes, or a trailing comma
            return false;
        }
        char* end = nullptr;
        const unsigned long byte = std::strtoul(item.c_str(), &end, 16);
        if (*end != '\0' || item.size() > 2 || byte > 0xFF) return false;
        data->push_back(static_cast<uint8_t>(byte));
        item.clear();
    }
    return true;
}

bool ParseData(const std::string& text, uint32_t* type, std::vector<uint8_t>* data) {
    if (!text.empty() && text[0] == '"') {
        size_t pos = 0;
        std::string value;
        if (!ReadQuoted(text, &pos, &value) || !Trim(text.substr(pos)).empty()) return false;
        const std::u16string wide = Utf8ToUtf16(value);
        data->clear();
        for (char16_t c : wide) {
            data->push_back(static_cast<uint8_t>(c & 0xFF));
            data->push_back(static_cast<uint8_t>(c >> 8));
        }
        data->push_back(0);
        data->push_back(0);
        *type = kRegSz;
        return true;
    }
    if (text.compare(0, 6, "dword:") == 0) {
        const std::string digits = Trim(text.substr(6));
        char* end = nullptr;
        const unsigned long long v = std::strtoull(digits.c_str(), &end, 16);
        if (digits.empty() || digits.size() > 8 || *end != '\0') return false;
        *data = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                 static_cast<uint8_t>(v >> 24)};
        *type = kRegDword;
        return true;
    }
    if (text.compare(0, 4, "hex:") == 0) {
        *type = kRegBinary;
        return ParseHexBytes(text.substr(4), data);
    }
    if (text.compare(0, 4, "hex(") == 0) {
        const size_t close = text.find("):");
        if (close == std::string::npos) return false;
        const std::string digits = text.substr(4, close - 4);
        char* end = nullptr;
        const unsigned long t = std::strtoul(digits.c_str(), &end, 16);
        if (digits.empty() || *end != '\0' || t > 0xFFFFFFFFul) return false;
        *type = static_cast<uint32_t>(t);
        return ParseHexBytes(text.substr(close + 2), data);
    }
    return false;
}

class Parser {
public:
    explicit Parser(ParsedRegFile* result) : result_(result) {}

    void Line(size_t number, const std::string& line) {
        if (line.empty() || line[0] == ';') return;
        if (line[0] == '[') return Section(number, line);
        ValueLine(number, line);
    }

private:
    void Warn(size_t number, const std::string& what) {
        result_->Warnings.push_back("line " + std::to_string(number) + ": " + what);
    }

    void Section(size_t number, const std::string& line) {
        key_ = nullptr;
        if (line.back() != ']') return Warn(number, "unterminated key name");
        const bool remove = line.size() > 1 && line[1] == '-';
        const std::string reg_path = line.substr(remove ? 2 : 1, line.size() - (remove ? 3 : 2));
        const std::string kernel_path = RegPathToKernelPath(reg_path);
        if (kernel_path.empty()) return Warn(number, "unknown root key in [" + reg_path + "]");
        if (remove) return result_->Keys.DeleteKeyTree(kernel_path);
        key_ = result_->Keys.AddKey(kernel_path);
    }

    void ValueLine(size_t number, const std::string& line) {
        if (key_ == nullptr) return Warn(number, "value outside a key");
        std::string name;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!ReadQuoted(line, &pos, &name)) {
            return Warn(number, "bad value name");
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size() || line[pos] != '=') return Warn(number, "missing '='");
        const std::string data_text = Trim(line.substr(pos + 1));
        if (data_text == "-") return DeleteValue(*key_, name);
        uint32_t type = 0;
        std::vector<uint8_t> data;
        if (!ParseData(data_text, &type, &data)) return Warn(number, "bad data for \"" + name + "\"");
        SetValue(*key_, name, type, std::move(data));
    }

    ParsedRegFile* result_;
    HiveKey* key_ = nullptr;
};

}  // namespace

ParsedRegFile ParseRegText(const std::string& bytes) {
    ParsedRegFile result;
    const std::vector<std::string> lines = SplitLines(DecodeToUtf8(bytes));
    Parser parser(&result);
    size_t i = 0;
    while (i < lines.size() && Trim(lines[i]).empty()) ++i;
    if (i < lines.size()) {
        const std::string header = Trim(lines[i]);
        if (header == "Windows Registry Editor Version 5.00" || header == "REGEDIT4") {
            ++i;
        } else {
            result.Warnings.push_back("line " + std::to_string(i + 1) + ": missing header");
        }
    }
    for (; i < lines.size(); ++i) {
        const size_t first = i + 1;
        std::string line = Trim(lines[i]);
        // Long hex values continue on the next line after a trailing backslash.
        while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos &&
               i + 1 < lines.size()) {
            line.pop_back();
            line += Trim(lines[++i]);
        }
        parser.Line(first, line);
    }
    return result;
}

}  // namespace host::registry
