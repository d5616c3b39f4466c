// Writing the hive as .reg text.
#include <algorithm>
#include <cstdio>

#include "host/registry/reg_file.h"
#include "host/registry/wide_text.h"

namespace host::registry {
namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegBinary = 3;
constexpr size_t kWrapColumn = 77;

struct RootName {
    const char* Kernel;
    const char* Reg;
};
constexpr RootName kRoots[] = {
    {"\\REGISTRY\\MACHINE", "HKEY_LOCAL_MACHINE"},
    {"\\REGISTRY\\USER", "HKEY_USERS"},
};

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// The UTF-8 text a quoted REG_SZ stands for, or false when quotes can't carry these bytes
// exactly (odd length, no terminator, embedded nulls, control characters, bad surrogates).
bool DataAsQuotableString(const std::vector<uint8_t>& data, std::string* text) {
    if (data.size() < 2 || data.size() % 2 != 0) return false;
    const size_t chars = data.size() / 2 - 1;
    std::vector<uint16_t> wide(chars + 1);
    for (size_t i = 0; i <= chars; ++i) wide[i] = static_cast<uint16_t>(data[2 * i] | data[2 * i + 1] << 8);
    if (wide[chars] != 0) return false;
    for (size_t i = 0; i < chars; ++i) {
        if (wide[i] < 0x20) return false;
    }
    *text = Utf16ToUtf8(wide.data(), chars);
    // A lone surrogate would come back as U+FFFD: only quote what survives the round trip.
    const std::u16string back = Utf8ToUtf16(*text);
    return back.size() == chars && std::equal(back.begin(), back.end(), wide.begin());
}

std::string HexForm(const std::string& prefix, uint32_t type, const std::vector<uint8_t>& data) {
    char tag[24];
    if (type == kRegBinary) {
        std::snprintf(tag, sizeof tag, "hex:");
    } else {
        std::snprintf(tag, sizeof tag, "hex(%x):", type);
    }
    std::string out = prefix + tag;
    size_t column = out.size();
    for (size_t i = 0; i < data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        out += byte;
        column += 2;
        if (i + 1 == data.size()) break;
        out += ',';
        ++column;
        if (column >= kWrapColumn) {
            out += "\\\n  ";
            column = 2;
        }
    }
    return out;
}

std::string FormatValue(const HiveValue& value) {
    const std::string prefix = (value.Name.empty() ? std::string("@") : Quote(value.Name)) + "=";
    if (value.Type == kRegDword && value.Data.size() == 4) {
        char dword[24];
        const uint32_t v = value.Data[0] | value.Data[1] << 8 | value.Data[2] << 16 |
                           static_cast<uint32_t>(value.Data[3]) << 24;
        std::snprintf(dword, sizeof dword, "dword:%08x", v);
        return prefix + dword;
    }
    std::string text;
    if (value.Type == kRegSz && DataAsQuotableString(value.Data, &text)) return prefix + Quote(text);
    return HexForm(prefix, value.Type, value.Data);
}

}  // namespace

std::string KernelPathToRegPath(const std::string& kernel_path) {
    const std::string folded = FoldCase(kernel_path);
    for (const RootName& root : kRoots) {
        const std::string kernel_root = root.Kernel;
        if (folded.compare(0, kernel_root.size(), kernel_root) != 0) continue;
        const std::string rest = kernel_path.substr(kernel_root.size());
        if (!rest.empty() && rest[0] != '\\') continue;
        return root.Reg + rest;
    }
    return "";
}

std::string RegPathToKernelPath(const std::string& reg_path) {
    const std::string folded = FoldCase(reg_path);
    for (const RootName& root : kRoots) {
        const std::string reg_root = root.Reg;
        if (folded.compare(0, reg_root.size(), reg_root) != 0) continue;
        const std::string rest = reg_path.substr(reg_root.size());
        if (!rest.empty() && rest[0] != '\\') continue;
        std::string kernel = root.Kernel;
        // Keep the familiar spelling "\Registry\Machine" rather than the folded one.
        kernel = kernel == "\\REGISTRY\\MACHINE" ? "\\Registry\\Machine" : "\\Registry\\User";
        return kernel + rest;
    }
    return "";
}

std::string FormatRegText(const Hive& hive) {
    std::string out = "Windows Registry Editor Version 5.00\n";
    for (const HiveKey* key : hive.Keys()) {
        const std::string reg_path = KernelPathToRegPath(key->Path);
        if (reg_path.empty()) continue;
        out += "\n[" + reg_path + "]\n";
        for (const HiveValue& value : key->Values) out += FormatValue(value) + "\n";
    }
    return out;
}

}  // namespace host::registry
