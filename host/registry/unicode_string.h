// UNICODE_STRING on the host side of the registry and file services.
#pragma once

#include <string>

#include "platform/types.h"

namespace host {

// The counted string as UTF-8 (Length bytes; no terminator needed). Null gives "".
std::string UnicodeStringToUtf8(const UNICODE_STRING* text);

}  // namespace host
