#include "host/framework/foreign_completions.h"

#include <mutex>

namespace host::framework {
namespace {

std::mutex& ForeignLock() {
    static std::mutex lock;
    return lock;
}

std::vector<ForeignCompletion>& Completions() {
    static std::vector<ForeignCompletion> completions;
    return completions;
}

}  // namespace

void RecordForeignCompletion(PHW_STREAM_REQUEST_BLOCK Srb, bool StreamNotification) {
    std::lock_guard<std::mutex> guard(ForeignLock());
    Completions().push_back({Srb, StreamNotification, Srb->Status});
}

std::vector<ForeignCompletion> TakeForeignCompletions() {
    std::lock_guard<std::mutex> guard(ForeignLock());
    std::vector<ForeignCompletion> taken;
    taken.swap(Completions());
    return taken;
}

}  // namespace host::framework
