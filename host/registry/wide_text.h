// Conversions between the kernel's UTF-16 names and the UTF-8 the host keeps on disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// Invalid surrogates become U+FFFD so that a name never makes a conversion fail.
std::string Utf16ToUtf8(const uint16_t* text, size_t count);
std::u16string Utf8ToUtf16(const std::string& text);
// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(const std::string& text);

}  // namespace host
