// Program paths for the file calls, and the errors that depend on where a path leads.
#pragma once

#include <fcntl.h>

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

// A Linux path as a folder and a name in it, for the *at calls, so that no call is limited by
// the length of a path: a path shorter than PATH_MAX is taken as it is (AT_FDCWD); a longer one
// is walked a part at a time, links followed as the kernel would.
class PathAt {
 public:
  PathAt() = default;
  ~PathAt();
  PathAt(const PathAt&) = delete;
  PathAt& operator=(const PathAt&) = delete;
  // False with errno set when a folder on the way cannot be opened.
  bool Open(const std::string& linux_path);
  int dir() const { return dir_; }
  const char* name() const { return name_.c_str(); }

 private:
  int dir_ = AT_FDCWD;
  bool owned_ = false;
  std::string name_;
};

}  // namespace platform
