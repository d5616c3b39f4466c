// Extension memory handed to the driver must be zeroed whether it is fresh or reused.
#include <gtest/gtest.h>

#include <cstring>

#include "host/framework/extension_reuse.h"
#include "host/framework/zeroed_block.h"

namespace {

using host::framework::ReuseExtensionMemory;
using host::framework::ZeroedBlock;

bool AllZero(const ZeroedBlock& block, size_t bytes) {
    const auto* data = static_cast<const unsigned char*>(block.data());
    for (size_t i = 0; i < bytes; ++i) {
        if (data[i] != 0) return false;
    }
    return true;
}

TEST(ZeroedBlockTest, AReusedExtensionComesBackZeroed) {
    for (bool reuse : {false, true}) {
        ReuseExtensionMemory(reuse);
        constexpr size_t kBytes = 1 << 20;
        void* first = nullptr;
        {
            ZeroedBlock block(kBytes);
            first = block.data();
            std::memset(block.data(), 0xA5, kBytes);  // what a driver leaves behind
        }
        ZeroedBlock again(kBytes);
        EXPECT_TRUE(AllZero(again, kBytes)) << "reuse " << reuse;
        if (reuse) {
            EXPECT_EQ(again.data(), first);  // it really was the same block
        }
    }
    ReuseExtensionMemory(false);
}

}  // namespace
