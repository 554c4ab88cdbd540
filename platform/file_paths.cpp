// Program paths for the file calls, and the errors that depend on where a path leads.
#include "platform/file_paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

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
  PathAt at;
  struct stat info;
  const bool parent_is_folder =
      at.Open(parent) &&
      RetryOnEintr([&] { return fstatat(at.dir(), at.name(), &info, 0); }) == 0 &&
      S_ISDIR(info.st_mode);
  return parent_is_folder ? code : ERROR_PATH_NOT_FOUND;
}

PathAt::~PathAt() {
  if (owned_) close(dir_);
}

bool PathAt::Open(const std::string& linux_path) {
  if (owned_) close(dir_);
  owned_ = false;
  dir_ = AT_FDCWD;
  if (linux_path.size() < PATH_MAX) {
    name_ = linux_path;
    return true;
  }
  // Folders in parts of at most kPart bytes, then the last name.
  constexpr std::size_t kPart = 3072;
  std::string path = linux_path;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::size_t last = path.rfind('/');
  name_ = path.substr(last + 1);
  const std::string folders = path.substr(0, last + 1);
  std::size_t start = 0;
  while (start < folders.size()) {
    std::size_t end = std::min(folders.size(), start + kPart);
    if (end < folders.size()) end = folders.rfind('/', end) + 1;
    if (end <= start) {  // one name longer than a part: no file system holds one
      errno = ENAMETOOLONG;
      return false;
    }
    const std::string part = folders.substr(start, end - start);
    const int fd = RetryOnEintr(
        [&] { return openat(dir_, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC); });
    if (fd < 0) return false;
    if (owned_) close(dir_);
    dir_ = fd;
    owned_ = true;
    start = end;
  }
  return true;
}

}  // namespace platform
