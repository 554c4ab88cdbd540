// Program paths for the file calls, and the errors that depend on where a path leads.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

// The Linux path of a program path; false with the last error set (paths.h).
bool ResolvePath(const std::u16string& path, std::string* linux_path);

// The error code of a call on `linux_path` that failed with `errno_value`. A missing name whose
// folder is missing too is ERROR_PATH_NOT_FOUND rather than ERROR_FILE_NOT_FOUND, as callers
// tell "create the folders first" from "the file is not there" by it.
ErrorCode ErrorForPath(const std::string& linux_path, int errno_value);

// The folder that holds `linux_path` ("" when it has none).
std::string ParentFolder(const std::string& linux_path);

}  // namespace platform
