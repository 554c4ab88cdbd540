// Program paths for the file calls, and the errors that depend on where a path leads.
#include "platform/file_paths.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/eintr.h"
#include "platform/errors.h"
#include "platform/paths.h"

namespace platform {

bool ResolvePath(const std::u16string& path, std::string* linux_path) {
  ErrorCode error;
  if (ToLinuxPath(path, linux_path, &error)) return true;
  SetLastError(error);
  return false;
}

std::string ParentFolder(const std::string& linux_path) {
  std::string path = linux_path;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : path.substr(0, slash);
}

ErrorCode ErrorForPath(const std::string& linux_path, int errno_value) {
  const ErrorCode code = ErrorFromErrno(errno_value);
  if (code != ERROR_FILE_NOT_FOUND) return code;
  const std::string parent = ParentFolder(linux_path);
  if (parent.empty()) return code;
  struct stat info;
  const bool parent_is_folder =
      RetryOnEintr([&] { return stat(parent.c_str(), &info); }) == 0 && S_ISDIR(info.st_mode);
  return parent_is_folder ? code : ERROR_PATH_NOT_FOUND;
}

}  // namespace platform
