#include "tools/setting_value.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace vexacam::tools {

bool ParseDecimal(const std::string& text, long long* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

bool RangeHolds(ValueRange range, long long value) {
    switch (range) {
        case ValueRange::Byte: return value >= 0 && value <= 255;
        case ValueRange::Unsigned32: return value >= 0 && value <= std::numeric_limits<uint32_t>::max();
        case ValueRange::Signed32:
            return value >= std::numeric_limits<int32_t>::min() &&
                   value <= std::numeric_limits<int32_t>::max();
    }
    return false;
}

}  // namespace vexacam::tools
