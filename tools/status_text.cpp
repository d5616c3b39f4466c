#include "tools/status_text.h"

#include <cstdint>
#include <cstdio>

namespace vexacam::tools {

std::string StatusText(NTSTATUS status) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(static_cast<uint32_t>(status)));
    return text;
}

}  // namespace vexacam::tools
