// Small PE32 driver images built in memory for the loader's tests, laid out as a linker lays
// them out: headers in the first 0x200 bytes of the file, then one section per page of the
// image, with base relocations and imports generated into sections of their own. Tests then
// damage the bytes of a well-formed image at known places to see it refused.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "host/image/pe_format.h"

namespace image_test {

using host::image::DataDirectory;
using host::image::DosHeader;
using host::image::FileHeader;
using host::image::OptionalHeader32;
using host::image::SectionHeader;

constexpr uint32_t kPeOffset = 0x40;
constexpr uint32_t kFileHeaderOffset = kPeOffset + 4;
constexpr uint32_t kOptionalHeaderOffset = kFileHeaderOffset + sizeof(FileHeader);
constexpr uint32_t kDirectoriesOffset = kOptionalHeaderOffset + sizeof(OptionalHeader32);
constexpr uint32_t kSectionTableOffset = kDirectoriesOffset + 16 * sizeof(DataDirectory);
constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kPreferredBase = 0x10000;

constexpr uint32_t kCode = host::image::kSectionExecute | host::image::kSectionRead | 0x20;
constexpr uint32_t kData = host::image::kSectionRead | host::image::kSectionWrite | 0x40;
constexpr uint32_t kReadOnly = host::image::kSectionRead | 0x40;

template <typename Record>
Record ReadAt(const std::vector<uint8_t>& file, size_t offset) {
    Record record;
    std::memcpy(&record, file.data() + offset, sizeof(record));
    return record;
}

template <typename Record, typename Change>
void PatchAt(std::vector<uint8_t>& file, size_t offset, Change change) {
    Record record = ReadAt<Record>(file, offset);
    change(record);
    std::memcpy(file.data() + offset, &record, sizeof(record));
}

inline size_t SectionHeaderOffset(int index) {
    return kSectionTableOffset + static_cast<size_t>(index) * sizeof(SectionHeader);
}

class PeBuilder {
public:
    // The first section added holds the entry point at its start.
    PeBuilder& Section(const std::string& name, uint32_t characteristics,
                       std::vector<uint8_t> bytes) {
        sections_.push_back({name, characteristics, std::move(bytes)});
        return *this;
    }
    // A high-low relocation of the word at `offset` in section `index`.
    PeBuilder& Relocation(int index, uint32_t offset) {
        relocations_.push_back({index, offset});
        return *this;
    }
    PeBuilder& Import(const std::string& module, const std::string& routine) {
        for (auto& entry : imports_) {
            if (entry.first == module) {
                entry.second.push_back(routine);
                return *this;
            }
        }
        imports_.push_back({module, {routine}});
        return *this;
    }

    // Image-relative address of section `index` (sections follow the headers page by page).
    static uint32_t SectionAddress(int index) { return kSectionAlignment * (index + 1); }
    // Where the import address slot of the n-th routine imported in all lies, once built.
    uint32_t ImportSlot(int n) const { return import_slots_.at(n); }
    int ImportSection() const { return static_cast<int>(sections_.size()); }
    int RelocationSection() const { return ImportSection() + (imports_.empty() ? 0 : 1); }

    std::vector<uint8_t> Build() {
        std::vector<Piece> pieces = sections_;
        if (!imports_.empty()) pieces.push_back({".idata", kData, ImportBytes(SectionAddress(ImportSection()))});
        if (!relocations_.empty()) pieces.push_back({".reloc", kReadOnly, RelocationBytes()});

        std::vector<uint8_t> file(kFileAlignment, 0);
        DosHeader dos{};
        dos.e_magic = host::image::kDosSignature;
        dos.e_lfanew = kPeOffset;
        std::memcpy(file.data(), &dos, sizeof(dos));
        const uint32_t signature = host::image::kPeSignature;
        std::memcpy(file.data() + kPeOffset, &signature, sizeof(signature));

        FileHeader header{};
        header.Machine = host::image::kMachineI386;
        header.NumberOfSections = static_cast<uint16_t>(pieces.size());
        header.SizeOfOptionalHeader = sizeof(OptionalHeader32) + 16 * sizeof(DataDirectory);
        header.Characteristics = host::image::kFileExecutableImage | 0x0100;  // 32-bit machine
        std::memcpy(file.data() + kFileHeaderOffset, &header, sizeof(header));

        OptionalHeader32 optional{};
        optional.Magic = host::image::kOptionalMagicPe32;
        optional.AddressOfEntryPoint = SectionAddress(0);
        optional.ImageBase = kPreferredBase;
        optional.SectionAlignment = kSectionAlignment;
        optional.FileAlignment = kFileAlignment;
        optional.SizeOfImage = SectionAddress(static_cast<int>(pieces.size()));
        optional.SizeOfHeaders = kFileAlignment;
        optional.Subsystem = host::image::kSubsystemNative;
        optional.NumberOfRvaAndSizes = 16;
        std::memcpy(file.data() + kOptionalHeaderOffset, &optional, sizeof(optional));

        DataDirectory directories[16] = {};
        for (size_t i = 0; i < pieces.size(); ++i) {
            const uint32_t address = SectionAddress(static_cast<int>(i));
            const uint32_t size = static_cast<uint32_t>(pieces[i].Bytes.size());
            if (pieces[i].Name == ".idata") directories[host::image::kDirectoryImport] = {address, size};
            if (pieces[i].Name == ".reloc") {
                directories[host::image::kDirectoryBaseRelocation] = {address, size};
            }
            SectionHeader section{};
            std::strncpy(section.Name, pieces[i].Name.c_str(), sizeof(section.Name));
            section.VirtualSize = size;
            section.VirtualAddress = address;
            section.SizeOfRawData = (size + kFileAlignment - 1) / kFileAlignment * kFileAlignment;
            section.PointerToRawData = static_cast<uint32_t>(file.size());
            section.Characteristics = pieces[i].Characteristics;
            std::memcpy(file.data() + SectionHeaderOffset(static_cast<int>(i)), &section,
                        sizeof(section));
            file.insert(file.end(), pieces[i].Bytes.begin(), pieces[i].Bytes.end());
            file.resize(section.PointerToRawData + section.SizeOfRawData, 0);
        }
        std::memcpy(file.data() + kDirectoriesOffset, directories, sizeof(directories));
        return file;
    }

private:
    struct Piece {
        std::string Name;
        uint32_t Characteristics;
        std::vector<uint8_t> Bytes;
    };

    static void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
        if (bytes.size() < at + 4) bytes.resize(at + 4, 0);
        std::memcpy(bytes.data() + at, &value, 4);
    }

    // Descriptors, then per module its lookup table and its address table, then the names:
    // a routine's is a 16-bit hint and the name, which both its slots point at.
    std::vector<uint8_t> ImportBytes(uint32_t base) {
        std::vector<uint8_t> bytes((imports_.size() + 1) * 20, 0);
        std::vector<std::pair<std::vector<size_t>, std::string>> names;  // slots, then bytes
        import_slots_.clear();
        for (size_t m = 0; m < imports_.size(); ++m) {
            const size_t count = imports_[m].second.size();
            const uint32_t lookup = static_cast<uint32_t>(bytes.size());
            const uint32_t addresses = lookup + static_cast<uint32_t>((count + 1) * 4);
            bytes.resize(addresses + (count + 1) * 4, 0);
            Put32(bytes, m * 20 + 0, base + lookup);
            Put32(bytes, m * 20 + 16, base + addresses);
            names.push_back({{m * 20 + 12}, imports_[m].first});
            for (size_t r = 0; r < count; ++r) {
                names.push_back({{lookup + r * 4, addresses + r * 4},
                                 std::string(2, '\0') + imports_[m].second[r]});
                import_slots_.push_back(base + addresses + static_cast<uint32_t>(r * 4));
            }
        }
        for (const auto& name : names) {
            for (size_t slot : name.first) Put32(bytes, slot, base + static_cast<uint32_t>(bytes.size()));
            bytes.insert(bytes.end(), name.second.begin(), name.second.end());
            bytes.push_back(0);
        }
        return bytes;
    }

    // One block per page, each padded to a whole number of words with an absolute entry.
    std::vector<uint8_t> RelocationBytes() const {
        std::vector<uint8_t> bytes;
        for (size_t s = 0; s < sections_.size(); ++s) {
            std::vector<uint16_t> entries;
            for (const auto& relocation : relocations_) {
                if (relocation.first == static_cast<int>(s)) {
                    entries.push_back(static_cast<uint16_t>(host::image::kRelocationHighLow << 12 |
                                                            relocation.second));
                }
            }
            if (entries.empty()) continue;
            if (entries.size() % 2 != 0) entries.push_back(0);
            const size_t at = bytes.size();
            Put32(bytes, at, SectionAddress(static_cast<int>(s)));
            Put32(bytes, at + 4, static_cast<uint32_t>(8 + entries.size() * 2));
            for (uint16_t entry : entries) {
                bytes.push_back(static_cast<uint8_t>(entry));
                bytes.push_back(static_cast<uint8_t>(entry >> 8));
            }
        }
        return bytes;
    }

    std::vector<Piece> sections_;
    std::vector<std::pair<int, uint32_t>> relocations_;
    std::vector<std::pair<std::string, std::vector<std::string>>> imports_;
    std::vector<uint32_t> import_slots_;
};

}  // namespace image_test
