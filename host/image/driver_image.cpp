#include "host/image/driver_image.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "host/image/image_layout.h"
#include "host/image/system_modules.h"
#include "host/verifier/verifier.h"

namespace host::image {
namespace {

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::unique_ptr<DriverImage> DriverImage::LoadBytes(const std::string& name, const uint8_t* bytes,
                                                    size_t size, const ImportResolver& resolve,
                                                    std::string* problem) {
    std::string what;
    ImageLayout layout;
    std::unique_ptr<MappedImage> mapped;
    if (!ReadImageLayout(bytes, size, &layout, &what) ||
        !(mapped = MappedImage::Map(layout, bytes, &what)) ||
        !ApplyBaseRelocations(*mapped, &what) || !BindImports(*mapped, resolve, &what) ||
        !mapped->ApplyProtections(&what)) {
        *problem = name + ": " + what;
        return nullptr;  // `mapped`, if any, is unmapped here
    }
    return std::unique_ptr<DriverImage>(new DriverImage(std::move(mapped)));
}

std::unique_ptr<DriverImage> DriverImage::Load(const std::string& path, std::string* problem) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *problem = path + ": cannot be read";
        return nullptr;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>()};
#if defined(__i386__)
    return LoadBytes(FileName(path), bytes.data(), bytes.size(), ResolveSystemExport, problem);
#else
    *problem = FileName(path) +
               ": a 32-bit driver image runs only in the 32-bit host build (preset host-i686)";
    return nullptr;
#endif
}

PDRIVER_INITIALIZE DriverImage::Entry() const {
#if defined(__i386__)
    return reinterpret_cast<PDRIVER_INITIALIZE>(mapped_->Bytes() + mapped_->Layout().EntryPoint);
#else
    VerifierFault("a 32-bit driver image cannot run in a 64-bit host");
#endif
}

}  // namespace host::image
