// For programs that bring adapters up and down thousands of times a second (the fuzzing
// programs): released device and stream extensions are kept and handed out again, zeroed,
// instead of going back to the system, which saves faulting in fresh pages for each one.
// Off by default: a reused block would hide a driver's use of a freed extension from
// AddressSanitizer.
#pragma once

namespace host::framework {

void ReuseExtensionMemory(bool reuse);

}  // namespace host::framework
