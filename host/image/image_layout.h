// The layout of a PE32 driver image as its headers describe it, read and checked before
// anything is mapped: machine, subsystem, alignments, sizes, the sections and where their bytes
// lie in the file, the entry point and the data directories the loader uses. Every offset and
// size is checked against the file and the image so that later steps may rely on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/image/pe_format.h"

namespace host::image {

struct ImageSection {
    std::string Name;
    uint32_t VirtualAddress = 0;
    uint32_t MappedSize = 0;  // bytes of the image the section covers (page-rounded)
    uint32_t FileOffset = 0;
    uint32_t FileSize = 0;    // bytes copied from the file; the rest is zero
    uint32_t Characteristics = 0;
};

struct ImageLayout {
    uint32_t PreferredBase = 0;
    uint32_t SizeOfImage = 0;
    uint32_t SizeOfHeaders = 0;
    uint32_t EntryPoint = 0;  // relative to the base
    bool RelocationsStripped = false;
    DataDirectory Imports{};
    DataDirectory Relocations{};
    std::vector<ImageSection> Sections;  // ascending, not overlapping
};

// The host maps images in whole pages; sections must start on page boundaries.
constexpr uint32_t kImagePageSize = 4096;
// Larger images are refused before anything is allocated for them.
constexpr uint32_t kLargestImage = 64u << 20;

// Reads the headers of the `size` bytes at `file`. False, with what is wrong in *problem,
// for anything but a well-formed native i386 PE32 image.
bool ReadImageLayout(const uint8_t* file, size_t size, ImageLayout* layout, std::string* problem);

}  // namespace host::image
