// Values given as NAME=VALUE on the command line: decimal integers, checked against the range
// the setting's field can hold before anything is sent or applied.
#pragma once

#include <string>

namespace vexacam::tools {

enum class ValueRange { Byte, Unsigned32, Signed32 };

// A whole decimal number with nothing after it; false on empty text, junk or overflow.
bool ParseDecimal(const std::string& text, long long* value);

bool RangeHolds(ValueRange range, long long value);

}  // namespace vexacam::tools
