// Where a kernel file name such as "\SystemRoot\Vexa_640.dat" lives on the host.
#pragma once

#include <string>

#include "platform/types.h"

namespace host {

// Maps "\SystemRoot\<components>" (case-insensitive, as the platform's file system is) to a
// path below SystemRootPath(). An existing entry is found whatever its case; a new one keeps
// the case it is given. Fails with STATUS_OBJECT_NAME_INVALID for other roots or for "." and
// ".." components (nothing may lead out of the machine directory), and with
// STATUS_OBJECT_PATH_NOT_FOUND when a directory on the way is missing.
NTSTATUS ResolveSystemPath(const std::string& kernel_name, std::string* host_path);

}  // namespace host
