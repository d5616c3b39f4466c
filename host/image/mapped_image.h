// A driver image mapped into the host's memory: the headers and every section copied to their
// places in one mapping of SizeOfImage bytes (the rest zero), at an address the host chooses,
// which is never the image's preferred base so that its base relocations are always applied.
// Reads and writes through it are bounded by the image; protections are set per section once
// the loader has relocated and bound it. Unmapped when destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/image/image_layout.h"

namespace host::image {

class MappedImage {
public:
    // Maps the image of `file` as `layout` (checked by ReadImageLayout) describes it.
    static std::unique_ptr<MappedImage> Map(const ImageLayout& layout, const uint8_t* file,
                                            std::string* problem);
    ~MappedImage();
    MappedImage(const MappedImage&) = delete;
    MappedImage& operator=(const MappedImage&) = delete;

    const ImageLayout& Layout() const { return layout_; }
    uint8_t* Bytes() const { return bytes_; }
    // The address the image's code runs at, as the image's 32-bit words hold it. On a 64-bit
    // host, where the image never runs, the mapping's low 32 bits stand in for it.
    uint32_t Base() const { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bytes_)); }

    // Bounded accesses by relative address; false when [rva, rva + size) leaves the image.
    bool Contains(uint64_t rva, uint64_t size) const;
    bool ReadWord(uint64_t rva, uint32_t* value) const;
    bool WriteWord(uint64_t rva, uint32_t value);
    // A NUL-terminated name of at most `longest` characters.
    bool ReadName(uint64_t rva, size_t longest, std::string* name) const;

    // Headers read-only, each section as its characteristics say.
    bool ApplyProtections(std::string* problem);

private:
    MappedImage(const ImageLayout& layout, uint8_t* bytes) : layout_(layout), bytes_(bytes) {}
    ImageLayout layout_;
    uint8_t* bytes_;
};

}  // namespace host::image
