// NTSTATUS values as the platform's documentation writes them, for one-line messages.
#pragma once

#include <string>

#include "platform/kernel.h"

namespace vexacam::tools {

// "0xC0000120"
std::string StatusText(NTSTATUS status);

}  // namespace vexacam::tools
