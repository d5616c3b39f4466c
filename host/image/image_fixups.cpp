#include "host/image/image_fixups.h"

namespace host::image {
namespace {

// Longest module or routine name accepted; real ones are a few dozen characters.
constexpr size_t kLongestName = 255;
// More descriptors than this cannot all fit in a sane import directory.
constexpr uint32_t kMostImportedModules = 64;

std::string Hex(uint32_t value) {
    char text[11];
    static const char kDigits[] = "0123456789abcdef";
    text[0] = '0';
    text[1] = 'x';
    for (int i = 0; i < 8; ++i) text[2 + i] = kDigits[(value >> (28 - 4 * i)) & 15];
    text[10] = '\0';
    return text;
}

bool Fail(std::string* problem, const std::string& what) {
    *problem = what;
    return false;
}

bool ApplyBlock(MappedImage& image, uint32_t blockAt, const BaseRelocationBlock& block,
                uint32_t delta, std::string* problem) {
    const uint32_t entries = (block.SizeOfBlock - sizeof(block)) / 2;
    const uint8_t* entry = image.Bytes() + blockAt + sizeof(block);  // inside the directory
    for (uint32_t i = 0; i < entries; ++i, entry += 2) {
        const uint16_t pair = static_cast<uint16_t>(entry[0] | entry[1] << 8);
        const uint16_t kind = pair >> 12;
        const uint64_t target = uint64_t{block.VirtualAddress} + (pair & 0x0FFF);
        if (kind == kRelocationAbsolute) continue;
        if (kind != kRelocationHighLow) {
            return Fail(problem, "relocation kind " + std::to_string(kind) + " at " +
                                     Hex(static_cast<uint32_t>(target)) +
                                     " (only high-low relocations belong in an i386 image)");
        }
        uint32_t word = 0;
        if (!image.ReadWord(target, &word)) {
            return Fail(problem, "a relocation at " + Hex(block.VirtualAddress) + " + " +
                                     Hex(pair & 0x0FFF) + " lies outside the image");
        }
        image.WriteWord(target, word + delta);
    }
    return true;
}

bool BindModule(MappedImage& image, const ImportDescriptor& descriptor, const std::string& module,
                const ImportResolver& resolve, std::string* problem) {
    // The lookup table names the routines; the address table is overwritten with addresses.
    const uint32_t lookup =
        descriptor.OriginalFirstThunk != 0 ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
    for (uint64_t slot = 0;; ++slot) {
        uint32_t thunk = 0;
        if (!image.ReadWord(lookup + 4 * slot, &thunk) ||
            !image.Contains(descriptor.FirstThunk + 4 * slot, 4)) {
            return Fail(problem, "the import table of " + module + " leaves the image");
        }
        if (thunk == 0) return true;
        if ((thunk & kImportByOrdinal) != 0) {
            return Fail(problem, "imports ordinal " + std::to_string(thunk & 0xFFFF) + " from " +
                                     module + "; routines are bound by name only");
        }
        std::string routine;
        // A 16-bit hint precedes the name.
        if (!image.ReadName(uint64_t{thunk} + 2, kLongestName, &routine)) {
            return Fail(problem, "an import name of " + module + " at " + Hex(thunk) +
                                     " is empty, unterminated or outside the image");
        }
        uint32_t address = 0;
        if (!resolve(module, routine, &address, problem)) return false;
        image.WriteWord(descriptor.FirstThunk + 4 * slot, address);
    }
}

}  // namespace

bool ApplyBaseRelocations(MappedImage& image, std::string* problem) {
    const ImageLayout& layout = image.Layout();
    const uint32_t delta = image.Base() - layout.PreferredBase;
    if (delta == 0) return true;
    if (layout.RelocationsStripped || layout.Relocations.Size == 0) {
        return Fail(problem, "has no base relocations and cannot run away from its preferred base " +
                                 Hex(layout.PreferredBase));
    }
    uint32_t at = layout.Relocations.VirtualAddress;
    const uint32_t end = at + layout.Relocations.Size;  // checked against the image size
    while (at < end) {
        BaseRelocationBlock block;
        if (end - at < sizeof(block) || !image.ReadWord(at, &block.VirtualAddress) ||
            !image.ReadWord(at + 4, &block.SizeOfBlock)) {
            return Fail(problem, "the base relocation directory ends inside a block header");
        }
        if (block.SizeOfBlock < sizeof(block) || block.SizeOfBlock % 2 != 0 ||
            block.SizeOfBlock > end - at) {
            return Fail(problem, "a base relocation block at " + Hex(at) + " has size " +
                                     Hex(block.SizeOfBlock));
        }
        if (!ApplyBlock(image, at, block, delta, problem)) return false;
        at += block.SizeOfBlock;
    }
    return true;
}

bool BindImports(MappedImage& image, const ImportResolver& resolve, std::string* problem) {
    const DataDirectory& imports = image.Layout().Imports;
    if (imports.Size == 0) return true;
    for (uint32_t index = 0;; ++index) {
        if (index == kMostImportedModules) {
            return Fail(problem, "the import directory has no end within " +
                                     std::to_string(kMostImportedModules) + " modules");
        }
        const uint64_t at = uint64_t{imports.VirtualAddress} + index * sizeof(ImportDescriptor);
        ImportDescriptor descriptor;
        if (!image.ReadWord(at, &descriptor.OriginalFirstThunk) ||
            !image.ReadWord(at + 4, &descriptor.TimeDateStamp) ||
            !image.ReadWord(at + 8, &descriptor.ForwarderChain) ||
            !image.ReadWord(at + 12, &descriptor.Name) ||
            !image.ReadWord(at + 16, &descriptor.FirstThunk)) {
            return Fail(problem, "the import directory leaves the image");
        }
        if (descriptor.Name == 0 && descriptor.FirstThunk == 0) return true;
        std::string module;
        if (!image.ReadName(descriptor.Name, kLongestName, &module)) {
            return Fail(problem, "an imported module's name at " + Hex(descriptor.Name) +
                                     " is empty, unterminated or outside the image");
        }
        if (!BindModule(image, descriptor, module, resolve, problem)) return false;
    }
}

}  // namespace host::image
