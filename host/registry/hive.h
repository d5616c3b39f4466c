// The machine's registry as the host keeps it in memory: keys by full kernel path
// ("\Registry\Machine\SOFTWARE\Korvald"), each with its values in creation order. Names of
// keys and values compare case-insensitively and keep the case they were created with.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace host::registry {

struct HiveValue {
    std::string Name;  // UTF-8; empty is the key's default value
    uint32_t Type = 0;
    std::vector<uint8_t> Data;
};

struct HiveKey {
    std::string Path;  // as created, e.g. "\Registry\Machine\SOFTWARE\Korvald"
    std::vector<HiveValue> Values;
};

// Upper-cases ASCII letters so that lookups ignore case the way the kernel's do.
std::string FoldCase(const std::string& name);

class Hive {
public:
    HiveKey* FindKey(const std::string& path);
    const HiveKey* FindKey(const std::string& path) const;
    // Creates the key if it is missing; returns it either way.
    HiveKey* AddKey(const std::string& path);
    // Removes the key and every key below it.
    void DeleteKeyTree(const std::string& path);
    bool Empty() const { return keys_.empty(); }

    // Keys in a stable order: parents before their children.
    std::vector<const HiveKey*> Keys() const;

private:
    std::map<std::string, HiveKey> keys_;  // folded path -> key
};

HiveValue* FindValue(HiveKey& key, const std::string& name);
const HiveValue* FindValue(const HiveKey& key, const std::string& name);
// Replaces the value's type and data, or appends a new value.
void SetValue(HiveKey& key, const std::string& name, uint32_t type, std::vector<uint8_t> data);
void DeleteValue(HiveKey& key, const std::string& name);

// Splits "\A\B\C" or "A\B" into its components; empty components are dropped.
std::vector<std::string> SplitPath(const std::string& path);
// Parent path of "\A\B\C" is "\A\B"; of a single component it is "".
std::string ParentPath(const std::string& path);

}  // namespace host::registry
