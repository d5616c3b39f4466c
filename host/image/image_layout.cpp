#include "host/image/image_layout.h"

#include <cstring>

namespace host::image {
namespace {

constexpr uint16_t kMostSections = 96;

template <typename Record>
bool ReadRecord(const uint8_t* file, size_t size, uint64_t offset, Record* record) {
    if (offset > size || size - offset < sizeof(Record)) return false;
    std::memcpy(record, file + offset, sizeof(Record));
    return true;
}

std::string Hex(uint64_t value) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 15]);
        value >>= 4;
    } while (value != 0);
    return "0x" + text;
}

uint64_t RoundUp(uint64_t value, uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

std::string SectionName(const SectionHeader& header) {
    size_t length = 0;
    while (length < sizeof(header.Name) && header.Name[length] != '\0') ++length;
    std::string name(header.Name, length);
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
    }
    return name;
}

bool Fail(std::string* problem, const std::string& what) {
    *problem = what;
    return false;
}

bool ReadDirectory(const OptionalHeader32& optional, const uint8_t* file, size_t size,
                   uint64_t directories, uint32_t index, DataDirectory* directory) {
    *directory = DataDirectory{};
    if (index >= optional.NumberOfRvaAndSizes) return true;
    return ReadRecord(file, size, directories + uint64_t{index} * sizeof(DataDirectory), directory);
}

bool CheckDirectory(const DataDirectory& directory, uint32_t sizeOfImage, const char* name,
                    std::string* problem) {
    if (directory.Size == 0) return true;
    if (directory.VirtualAddress == 0 ||
        uint64_t{directory.VirtualAddress} + directory.Size > sizeOfImage) {
        return Fail(problem, std::string("the ") + name + " directory (" +
                                 Hex(directory.VirtualAddress) + ", " + Hex(directory.Size) +
                                 " bytes) lies outside the image");
    }
    return true;
}

bool ReadSections(const uint8_t* file, size_t size, uint64_t first, uint16_t count,
                  const OptionalHeader32& optional, ImageLayout* layout, std::string* problem) {
    uint64_t nextFree = RoundUp(optional.SizeOfHeaders, optional.SectionAlignment);
    for (uint16_t i = 0; i < count; ++i) {
        SectionHeader header;
        if (!ReadRecord(file, size, first + uint64_t{i} * sizeof(header), &header)) {
            return Fail(problem, "the section table runs past the end of the file");
        }
        ImageSection section;
        section.Name = SectionName(header);
        section.VirtualAddress = header.VirtualAddress;
        section.Characteristics = header.Characteristics;
        const std::string what = "section " + std::to_string(i + 1) + " (" + section.Name + ")";
        if (header.VirtualAddress % optional.SectionAlignment != 0) {
            return Fail(problem, what + " starts at " + Hex(header.VirtualAddress) +
                                     ", not on a section boundary");
        }
        if (header.VirtualAddress < nextFree) {
            return Fail(problem, what + " at " + Hex(header.VirtualAddress) +
                                     " overlaps the headers or the section before it");
        }
        const uint32_t extent = header.VirtualSize != 0 ? header.VirtualSize : header.SizeOfRawData;
        const uint64_t end = RoundUp(uint64_t{header.VirtualAddress} + extent,
                                     optional.SectionAlignment);
        if (extent == 0 || end > optional.SizeOfImage) {
            return Fail(problem, what + " (" + Hex(extent) + " bytes at " +
                                     Hex(header.VirtualAddress) + ") lies outside the image");
        }
        section.MappedSize = static_cast<uint32_t>(end - header.VirtualAddress);
        if ((header.Characteristics & kSectionUninitializedData) == 0 && header.SizeOfRawData != 0) {
            if (uint64_t{header.PointerToRawData} + header.SizeOfRawData > size) {
                return Fail(problem, what + " has " + Hex(header.SizeOfRawData) +
                                         " bytes at file offset " + Hex(header.PointerToRawData) +
                                         ", past the end of the file");
            }
            section.FileOffset = header.PointerToRawData;
            section.FileSize = header.SizeOfRawData < extent ? header.SizeOfRawData : extent;
        }
        nextFree = end;
        layout->Sections.push_back(section);
    }
    return true;
}

bool CheckEntryPoint(const ImageLayout& layout, std::string* problem) {
    for (const ImageSection& section : layout.Sections) {
        if (layout.EntryPoint >= section.VirtualAddress &&
            layout.EntryPoint - section.VirtualAddress < section.MappedSize) {
            if ((section.Characteristics & kSectionExecute) != 0) return true;
            break;
        }
    }
    return Fail(problem, "the entry point " + Hex(layout.EntryPoint) +
                             " is not in an executable section");
}

}  // namespace

bool ReadImageLayout(const uint8_t* file, size_t size, ImageLayout* layout, std::string* problem) {
    *layout = ImageLayout{};
    DosHeader dos;
    if (!ReadRecord(file, size, 0, &dos) || dos.e_magic != kDosSignature) {
        return Fail(problem, "not a PE image (no MZ header)");
    }
    uint32_t signature = 0;
    if (!ReadRecord(file, size, dos.e_lfanew, &signature) || signature != kPeSignature) {
        return Fail(problem, "not a PE image (no PE signature at " + Hex(dos.e_lfanew) + ")");
    }
    FileHeader fileHeader;
    const uint64_t fileHeaderAt = uint64_t{dos.e_lfanew} + sizeof(signature);
    if (!ReadRecord(file, size, fileHeaderAt, &fileHeader)) {
        return Fail(problem, "the file header runs past the end of the file");
    }
    if (fileHeader.Machine != kMachineI386) {
        return Fail(problem, "built for machine " + Hex(fileHeader.Machine) +
                                 ", not for i386 (0x14c)");
    }
    if ((fileHeader.Characteristics & kFileExecutableImage) == 0) {
        return Fail(problem, "not marked as an executable image");
    }
    if (fileHeader.NumberOfSections == 0 || fileHeader.NumberOfSections > kMostSections) {
        return Fail(problem, std::to_string(fileHeader.NumberOfSections) + " sections");
    }
    OptionalHeader32 optional;
    const uint64_t optionalAt = fileHeaderAt + sizeof(fileHeader);
    if (fileHeader.SizeOfOptionalHeader < sizeof(optional) ||
        !ReadRecord(file, size, optionalAt, &optional)) {
        return Fail(problem, "the optional header is missing or truncated");
    }
    if (optional.Magic != kOptionalMagicPe32) {
        return Fail(problem, "not a PE32 image (optional header magic " + Hex(optional.Magic) + ")");
    }
    if (optional.Subsystem != kSubsystemNative) {
        return Fail(problem, "subsystem " + std::to_string(optional.Subsystem) +
                                 ", not native (1): not a kernel driver");
    }
    if (optional.NumberOfRvaAndSizes > kDirectoryCount ||
        sizeof(optional) + uint64_t{optional.NumberOfRvaAndSizes} * sizeof(DataDirectory) >
            fileHeader.SizeOfOptionalHeader) {
        return Fail(problem, std::to_string(optional.NumberOfRvaAndSizes) +
                                 " data directories do not fit the optional header");
    }
    if (!IsPowerOfTwo(optional.SectionAlignment) || optional.SectionAlignment % kImagePageSize != 0 ||
        !IsPowerOfTwo(optional.FileAlignment) || optional.FileAlignment > optional.SectionAlignment) {
        return Fail(problem, "section alignment " + Hex(optional.SectionAlignment) +
                                 " and file alignment " + Hex(optional.FileAlignment) +
                                 " are not page-multiple powers of two");
    }
    if (optional.SizeOfImage == 0 || optional.SizeOfImage > kLargestImage ||
        optional.SizeOfImage % optional.SectionAlignment != 0) {
        return Fail(problem, "image size " + Hex(optional.SizeOfImage) + " is not usable");
    }
    const uint64_t headersEnd = optionalAt + fileHeader.SizeOfOptionalHeader +
                                uint64_t{fileHeader.NumberOfSections} * sizeof(SectionHeader);
    if (optional.SizeOfHeaders < headersEnd || optional.SizeOfHeaders > optional.SizeOfImage) {
        return Fail(problem, "headers size " + Hex(optional.SizeOfHeaders) +
                                 " does not cover the headers or exceeds the image");
    }
    if (optional.SizeOfHeaders > size) {
        return Fail(problem, "the headers (" + Hex(optional.SizeOfHeaders) +
                                 " bytes) run past the end of the file");
    }
    layout->PreferredBase = optional.ImageBase;
    layout->SizeOfImage = optional.SizeOfImage;
    layout->SizeOfHeaders = optional.SizeOfHeaders;
    layout->EntryPoint = optional.AddressOfEntryPoint;
    layout->RelocationsStripped = (fileHeader.Characteristics & kFileRelocationsStripped) != 0;

    const uint64_t directories = optionalAt + sizeof(optional);
    if (!ReadDirectory(optional, file, size, directories, kDirectoryImport, &layout->Imports) ||
        !ReadDirectory(optional, file, size, directories, kDirectoryBaseRelocation,
                       &layout->Relocations)) {
        return Fail(problem, "the data directories run past the end of the file");
    }
    if (!CheckDirectory(layout->Imports, optional.SizeOfImage, "import", problem) ||
        !CheckDirectory(layout->Relocations, optional.SizeOfImage, "base relocation", problem)) {
        return false;
    }
    return ReadSections(file, size, optionalAt + fileHeader.SizeOfOptionalHeader,
                        fileHeader.NumberOfSections, optional, layout, problem) &&
           CheckEntryPoint(*layout, problem);
}

}  // namespace host::image
