// The image loader on any file: headers, section table, base relocations and import tables
// as the input says. The loader must refuse it with a reason or map, relocate, bind and
// protect it, and unmap it again, never reading or writing outside the file or the mapping.
// The image is never run (this host is 64-bit): binding resolves against the host's system
// module exports as the 32-bit build does.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/image/driver_image.h"
#include "host/image/system_modules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string problem;
    std::unique_ptr<host::image::DriverImage> image = host::image::DriverImage::LoadBytes(
        "fuzz.sys", data, size, host::image::ResolveSystemExport, &problem);
    if (image == nullptr && problem.empty()) abort();  // every refusal says why
    return 0;
}
