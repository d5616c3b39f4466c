#include "host/registry/hive.h"

#include <algorithm>

namespace host::registry {

std::string FoldCase(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

HiveKey* Hive::FindKey(const std::string& path) {
    auto it = keys_.find(FoldCase(path));
    return it == keys_.end() ? nullptr : &it->second;
}

const HiveKey* Hive::FindKey(const std::string& path) const {
    auto it = keys_.find(FoldCase(path));
    return it == keys_.end() ? nullptr : &it->second;
}

HiveKey* Hive::AddKey(const std::string& path) {
    auto [it, inserted] = keys_.try_emplace(FoldCase(path));
    if (inserted) it->second.Path = path;
    return &it->second;
}

void Hive::DeleteKeyTree(const std::string& path) {
    const std::string folded = FoldCase(path);
    const std::string below = folded + "\\";
    for (auto it = keys_.begin(); it != keys_.end();) {
        if (it->first == folded || it->first.compare(0, below.size(), below) == 0) {
            it = keys_.erase(it);
        } else {
            ++it;
        }
    }
}

std::vector<const HiveKey*> Hive::Keys() const {
    // Sorting by components keeps "A" and "A\B" together ahead of "A B".
    std::vector<std::pair<std::vector<std::string>, const HiveKey*>> sorted;
    for (const auto& [folded, key] : keys_) sorted.emplace_back(SplitPath(folded), &key);
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<const HiveKey*> keys;
    for (const auto& entry : sorted) keys.push_back(entry.second);
    return keys;
}

HiveValue* FindValue(HiveKey& key, const std::string& name) {
    const std::string folded = FoldCase(name);
    for (HiveValue& value : key.Values) {
        if (FoldCase(value.Name) == folded) return &value;
    }
    return nullptr;
}

const HiveValue* FindValue(const HiveKey& key, const std::string& name) {
    return FindValue(const_cast<HiveKey&>(key), name);
}

void SetValue(HiveKey& key, const std::string& name, uint32_t type, std::vector<uint8_t> data) {
    if (HiveValue* existing = FindValue(key, name)) {
        existing->Type = type;
        existing->Data = std::move(data);
        return;
    }
    key.Values.push_back(HiveValue{name, type, std::move(data)});
}

void DeleteValue(HiveKey& key, const std::string& name) {
    const std::string folded = FoldCase(name);
    auto& values = key.Values;
    values.erase(std::remove_if(values.begin(), values.end(),
                                [&](const HiveValue& v) { return FoldCase(v.Name) == folded; }),
                 values.end());
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (c == '\\') {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

std::string ParentPath(const std::string& path) {
    const size_t end = path.find_last_not_of('\\');
    if (end == std::string::npos) return "";
    const size_t slash = path.rfind('\\', end);
    if (slash == std::string::npos) return "";
    const size_t parent_end = path.find_last_not_of('\\', slash);
    return parent_end == std::string::npos ? "" : path.substr(0, parent_end + 1);
}

}  // namespace host::registry
