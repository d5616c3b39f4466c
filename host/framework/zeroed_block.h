// Internal to host/framework: a zeroed block for device and stream extensions. calloc hands
// large blocks over as fresh zero pages, so an extension of megabytes costs only the pages the
// driver touches; a vector would write every byte of it first. Fuzzing programs may have
// released blocks reused instead (extension_reuse.h).
#pragma once

#include <cstddef>

namespace host::framework {

class ZeroedBlock {
public:
    // At least `bytes` bytes, aligned for any scalar type (calloc's guarantee).
    explicit ZeroedBlock(size_t bytes);
    ~ZeroedBlock();
    ZeroedBlock(const ZeroedBlock&) = delete;
    ZeroedBlock& operator=(const ZeroedBlock&) = delete;

    void* data() const { return data_; }

private:
    size_t bytes_;
    void* data_;
};

}  // namespace host::framework
