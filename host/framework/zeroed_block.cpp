#include "host/framework/zeroed_block.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "host/framework/extension_reuse.h"

namespace host::framework {
namespace {

constexpr size_t kBlocksKept = 4;

struct KeptBlocks {
    std::mutex lock;
    bool reuse = false;
    std::vector<std::pair<size_t, void*>> blocks;  // size, block
};

KeptBlocks& Kept() {
    static auto* kept = new KeptBlocks;  // outlives every adapter, even at exit
    return *kept;
}

void* TakeKeptBlock(size_t bytes) {
    KeptBlocks& kept = Kept();
    std::lock_guard<std::mutex> guard(kept.lock);
    for (auto it = kept.blocks.begin(); it != kept.blocks.end(); ++it) {
        if (it->first != bytes) continue;
        void* block = it->second;
        kept.blocks.erase(it);
        return block;
    }
    return nullptr;
}

bool KeepBlock(size_t bytes, void* block) {
    KeptBlocks& kept = Kept();
    std::lock_guard<std::mutex> guard(kept.lock);
    if (!kept.reuse || kept.blocks.size() >= kBlocksKept) return false;
    kept.blocks.emplace_back(bytes, block);
    return true;
}

}  // namespace

void ReuseExtensionMemory(bool reuse) {
    KeptBlocks& kept = Kept();
    std::lock_guard<std::mutex> guard(kept.lock);
    kept.reuse = reuse;
    if (reuse) return;
    for (const auto& [bytes, block] : kept.blocks) std::free(block);
    kept.blocks.clear();
}

ZeroedBlock::ZeroedBlock(size_t bytes) : bytes_(bytes != 0 ? bytes : 1) {
    data_ = TakeKeptBlock(bytes_);
    if (data_ != nullptr) {
        std::memset(data_, 0, bytes_);
        return;
    }
    data_ = std::calloc(bytes_, 1);
    if (data_ == nullptr) throw std::bad_alloc();
}

ZeroedBlock::~ZeroedBlock() {
    if (!KeepBlock(bytes_, data_)) std::free(data_);
}

}  // namespace host::framework
