// The two passes that make a mapped image runnable where the host put it: applying its base
// relocations for the distance from the preferred base, and binding its imports by name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "host/image/mapped_image.h"

namespace host::image {

// Adds Base() - PreferredBase to every 32-bit word the relocation directory names. Refuses
// relocation kinds other than absolute and high-low, and blocks or words outside the image.
bool ApplyBaseRelocations(MappedImage& image, std::string* problem);

// Finds the address of Routine as exported by Module; false with *problem naming both when
// there is none.
using ImportResolver = std::function<bool(const std::string& module, const std::string& routine,
                                          uint32_t* address, std::string* problem)>;

// Fills every import address slot through `resolve`. Imports by ordinal are refused: the host
// binds by name only, as the system modules' exports are known by name.
bool BindImports(MappedImage& image, const ImportResolver& resolve, std::string* problem);

}  // namespace host::image
