// A kernel driver image (vexacam.sys) loaded into the host as the system loader would load it:
// checked, mapped at a base other than its preferred one, relocated, its imports bound by name
// to the host's system module exports, its sections protected. DriverEntry is then the image's
// own code, run by host/framework like any driver entry. Unmapped when destroyed (at unload).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/image/image_fixups.h"
#include "host/image/mapped_image.h"
#include "platform/kernel.h"

namespace host::image {

class DriverImage {
public:
    // Loads the image file at `path`, binding its imports to the host's system modules. Null on
    // failure, with one line naming the file and what is wrong in *problem; nothing stays
    // mapped then. Only the 32-bit host build can run an image; the 64-bit one refuses it.
    static std::unique_ptr<DriverImage> Load(const std::string& path, std::string* problem);

    // Every step of Load but reading the file, on `size` bytes in memory, binding through
    // `resolve`; `name` prefixes the problem. For tests and the fuzzer on any host.
    static std::unique_ptr<DriverImage> LoadBytes(const std::string& name, const uint8_t* bytes,
                                                  size_t size, const ImportResolver& resolve,
                                                  std::string* problem);

    uint32_t Base() const { return mapped_->Base(); }
    uint32_t PreferredBase() const { return mapped_->Layout().PreferredBase; }
    uint32_t Size() const { return mapped_->Layout().SizeOfImage; }
    const uint8_t* Bytes() const { return mapped_->Bytes(); }

    // The image's DriverEntry. Callable only in the 32-bit build.
    PDRIVER_INITIALIZE Entry() const;

private:
    explicit DriverImage(std::unique_ptr<MappedImage> mapped) : mapped_(std::move(mapped)) {}
    std::unique_ptr<MappedImage> mapped_;
};

}  // namespace host::image
