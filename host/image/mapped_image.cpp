#include "host/image/mapped_image.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstring>

namespace host::image {
namespace {

uint8_t* MapAnonymous(size_t size) {
    void* at = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return at == MAP_FAILED ? nullptr : static_cast<uint8_t*>(at);
}

int SectionProtection(uint32_t characteristics) {
    int protection = PROT_NONE;
    if ((characteristics & kSectionRead) != 0) protection |= PROT_READ;
    if ((characteristics & kSectionWrite) != 0) protection |= PROT_READ | PROT_WRITE;
    if ((characteristics & kSectionExecute) != 0) protection |= PROT_READ | PROT_EXEC;
    return protection;
}

}  // namespace

std::unique_ptr<MappedImage> MappedImage::Map(const ImageLayout& layout, const uint8_t* file,
                                              std::string* problem) {
    uint8_t* bytes = MapAnonymous(layout.SizeOfImage);
    if (bytes != nullptr && static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bytes)) ==
                                layout.PreferredBase) {
        // Never at the preferred base: a load there would leave the relocations untried.
        uint8_t* other = MapAnonymous(layout.SizeOfImage);
        ::munmap(bytes, layout.SizeOfImage);
        bytes = other;
    }
    if (bytes == nullptr) {
        *problem = std::string("cannot map ") + std::to_string(layout.SizeOfImage) +
                   " bytes: " + std::strerror(errno);
        return nullptr;
    }
    std::memcpy(bytes, file, layout.SizeOfHeaders);
    for (const ImageSection& section : layout.Sections) {
        std::memcpy(bytes + section.VirtualAddress, file + section.FileOffset, section.FileSize);
    }
    return std::unique_ptr<MappedImage>(new MappedImage(layout, bytes));
}

MappedImage::~MappedImage() { ::munmap(bytes_, layout_.SizeOfImage); }

bool MappedImage::Contains(uint64_t rva, uint64_t size) const {
    return rva <= layout_.SizeOfImage && size <= layout_.SizeOfImage - rva;
}

bool MappedImage::ReadWord(uint64_t rva, uint32_t* value) const {
    if (!Contains(rva, sizeof(*value))) return false;
    std::memcpy(value, bytes_ + rva, sizeof(*value));
    return true;
}

bool MappedImage::WriteWord(uint64_t rva, uint32_t value) {
    if (!Contains(rva, sizeof(value))) return false;
    std::memcpy(bytes_ + rva, &value, sizeof(value));
    return true;
}

bool MappedImage::ReadName(uint64_t rva, size_t longest, std::string* name) const {
    name->clear();
    for (uint64_t at = rva; at < layout_.SizeOfImage; ++at) {
        const char c = static_cast<char>(bytes_[at]);
        if (c == '\0') return !name->empty();
        if (name->size() == longest) return false;
        name->push_back(c);
    }
    return false;
}

bool MappedImage::ApplyProtections(std::string* problem) {
    if (::mprotect(bytes_, layout_.SizeOfHeaders, PROT_READ) != 0) {
        *problem = std::string("cannot protect the headers: ") + std::strerror(errno);
        return false;
    }
    for (const ImageSection& section : layout_.Sections) {
        if (::mprotect(bytes_ + section.VirtualAddress, section.MappedSize,
                       SectionProtection(section.Characteristics)) != 0) {
            *problem = "cannot protect section " + section.Name + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

}  // namespace host::image
