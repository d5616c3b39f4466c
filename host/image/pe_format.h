// The on-disk records of a PE32 image (the platform's executable format) that the loader reads:
// the DOS stub header, the file and optional headers, section headers, data directories, base
// relocation blocks and import descriptors. Little-endian, packed as in the file; read from
// the file by copying, never by casting a pointer into it.
#pragma once

#include <cstdint>

namespace host::image {

constexpr uint16_t kDosSignature = 0x5A4D;   // "MZ"
constexpr uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kOptionalMagicPe32 = 0x010B;
constexpr uint16_t kSubsystemNative = 1;

// FileHeader.Characteristics
constexpr uint16_t kFileRelocationsStripped = 0x0001;
constexpr uint16_t kFileExecutableImage = 0x0002;

// Section characteristics
constexpr uint32_t kSectionUninitializedData = 0x00000080;
constexpr uint32_t kSectionExecute = 0x20000000;
constexpr uint32_t kSectionRead = 0x40000000;
constexpr uint32_t kSectionWrite = 0x80000000;

// Data directory indices
constexpr uint32_t kDirectoryImport = 1;
constexpr uint32_t kDirectoryBaseRelocation = 5;
constexpr uint32_t kDirectoryCount = 16;

// Base relocation kinds
constexpr uint16_t kRelocationAbsolute = 0;  // padding
constexpr uint16_t kRelocationHighLow = 3;   // add the delta to a 32-bit word

constexpr uint32_t kImportByOrdinal = 0x80000000;

#pragma pack(push, 1)
struct DosHeader {
    uint16_t e_magic;
    uint16_t e_unused[29];
    uint32_t e_lfanew;  // file offset of the PE signature
};
static_assert(sizeof(DosHeader) == 64);

struct FileHeader {
    uint16_t Machine;
    uint16_t NumberOfSections;
    uint32_t TimeDateStamp;
    uint32_t PointerToSymbolTable;
    uint32_t NumberOfSymbols;
    uint16_t SizeOfOptionalHeader;
    uint16_t Characteristics;
};
static_assert(sizeof(FileHeader) == 20);

struct DataDirectory {
    uint32_t VirtualAddress;
    uint32_t Size;
};

struct OptionalHeader32 {
    uint16_t Magic;
    uint8_t MajorLinkerVersion;
    uint8_t MinorLinkerVersion;
    uint32_t SizeOfCode;
    uint32_t SizeOfInitializedData;
    uint32_t SizeOfUninitializedData;
    uint32_t AddressOfEntryPoint;
    uint32_t BaseOfCode;
    uint32_t BaseOfData;
    uint32_t ImageBase;
    uint32_t SectionAlignment;
    uint32_t FileAlignment;
    uint16_t MajorOperatingSystemVersion;
    uint16_t MinorOperatingSystemVersion;
    uint16_t MajorImageVersion;
    uint16_t MinorImageVersion;
    uint16_t MajorSubsystemVersion;
    uint16_t MinorSubsystemVersion;
    uint32_t Win32VersionValue;
    uint32_t SizeOfImage;
    uint32_t SizeOfHeaders;
    uint32_t CheckSum;
    uint16_t Subsystem;
    uint16_t DllCharacteristics;
    uint32_t SizeOfStackReserve;
    uint32_t SizeOfStackCommit;
    uint32_t SizeOfHeapReserve;
    uint32_t SizeOfHeapCommit;
    uint32_t LoaderFlags;
    uint32_t NumberOfRvaAndSizes;
    // NumberOfRvaAndSizes data directories follow.
};
static_assert(sizeof(OptionalHeader32) == 96);

struct SectionHeader {
    char Name[8];
    uint32_t VirtualSize;
    uint32_t VirtualAddress;
    uint32_t SizeOfRawData;
    uint32_t PointerToRawData;
    uint32_t PointerToRelocations;
    uint32_t PointerToLinenumbers;
    uint16_t NumberOfRelocations;
    uint16_t NumberOfLinenumbers;
    uint32_t Characteristics;
};
static_assert(sizeof(SectionHeader) == 40);

struct BaseRelocationBlock {
    uint32_t VirtualAddress;  // page the entries are relative to
    uint32_t SizeOfBlock;     // this header and the 16-bit entries (kind << 12 | offset)
};
static_assert(sizeof(BaseRelocationBlock) == 8);

struct ImportDescriptor {
    uint32_t OriginalFirstThunk;  // lookup table: names (or ordinals) of the routines
    uint32_t TimeDateStamp;
    uint32_t ForwarderChain;
    uint32_t Name;                // the module's name
    uint32_t FirstThunk;          // address table the loader fills
};
static_assert(sizeof(ImportDescriptor) == 20);
#pragma pack(pop)

}  // namespace host::image
