// MakeResident: a few pages are written with the byte they already hold; longer ranges are
// populated by the kernel in one call (Linux 5.14 and later), or page by page before that.
// PagesNotResident asks the kernel (mincore).
#include "host/kernel/page_residency.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace host {
namespace {

// Up to this many pages a write per page is cheaper than a system call.
constexpr uintptr_t kPagesTouchedDirectly = 16;

uintptr_t PageSize() {
    static const uintptr_t size = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    return size;
}

// The whole pages a byte range touches.
struct PageSpan {
    uintptr_t first;  // start of the first page
    uintptr_t end;    // one past the range's last byte
    size_t Pages() const { return (end - first + PageSize() - 1) / PageSize(); }
    void* Start() const { return reinterpret_cast<void*>(first); }
};

PageSpan SpanOf(const void* address, size_t length) {
    const uintptr_t start = reinterpret_cast<uintptr_t>(address);
    return PageSpan{start & ~(PageSize() - 1), start + length};
}

void TouchEachPage(uintptr_t start, uintptr_t end) {
    const uintptr_t page = PageSize();
    for (uintptr_t at = start; at < end; at = (at & ~(page - 1)) + page) {
        volatile unsigned char* byte = reinterpret_cast<volatile unsigned char*>(at);
        *byte = *byte;
    }
}

bool PopulateWritable(const PageSpan& span) {
#ifdef MADV_POPULATE_WRITE
    return madvise(span.Start(), span.end - span.first, MADV_POPULATE_WRITE) == 0;
#else
    (void)span;
    return false;
#endif
}

}  // namespace

void MakeResident(void* address, size_t length) {
    if (address == nullptr || length == 0) return;
    const PageSpan span = SpanOf(address, length);
    if (span.Pages() > kPagesTouchedDirectly && PopulateWritable(span)) return;
    TouchEachPage(reinterpret_cast<uintptr_t>(address), span.end);
}

size_t PagesNotResident(const void* address, size_t length) {
    if (length == 0) return 0;
    const PageSpan span = SpanOf(address, length);
    std::vector<unsigned char> resident(span.Pages());
    if (mincore(span.Start(), span.end - span.first, resident.data()) != 0) return resident.size();
    size_t missing = 0;
    for (unsigned char flags : resident) missing += (flags & 1) == 0 ? 1 : 0;
    return missing;
}

}  // namespace host
