// The registry's on-disk form: a "Windows Registry Editor Version 5.00" text file, the format
// people already know how to read, diff and edit by hand.
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Korvald]
//   "Exposal"=dword:00000064
//   "Name"="text"
//   "Blob"=hex:01,02,03
//   "Other"=hex(7):41,00,00,00,00,00
//
// Every value reads back byte for byte as it was set: a REG_SZ is written in quotes only when
// its bytes are exactly a terminated UTF-16 string the quotes can carry, a REG_DWORD as dword:
// only when it is four bytes long; anything else falls back to the hex forms.
#pragma once

#include <string>
#include <vector>

#include "host/registry/hive.h"

namespace host::registry {

struct ParsedRegFile {
    Hive Keys;
    // One entry per line that was skipped ("line 7: ..."); the rest of the file still loads.
    std::vector<std::string> Warnings;
};

// Accepts UTF-8 (with or without a byte-order mark) and the UTF-16LE files regedit exports.
ParsedRegFile ParseRegText(const std::string& bytes);
std::string FormatRegText(const Hive& hive);

// "\Registry\Machine\SOFTWARE" <-> "HKEY_LOCAL_MACHINE\SOFTWARE"; empty when the root is unknown.
std::string KernelPathToRegPath(const std::string& kernel_path);
std::string RegPathToKernelPath(const std::string& reg_path);

}  // namespace host::registry
