// The identity of a file: its device and inode numbers, links followed.
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/eintr.h"
#include "platform/errors.h"
#include "platform/file_paths.h"
#include "platform/files.h"

namespace platform {

bool GetFileIdentity(const std::u16string& path, FileIdentity* identity) {
  std::string linux_path;
  if (!ResolvePath(path, &linux_path)) return false;
  PathAt at;
  struct stat info;
  if (!at.Open(linux_path) ||
      RetryOnEintr([&] { return fstatat(at.dir(), at.name(), &info, 0); }) != 0) {
    SetLastError(ErrorForPath(linux_path, errno));
    return false;
  }
  identity->Device = static_cast<std::uint64_t>(info.st_dev);
  identity->Inode = static_cast<std::uint64_t>(info.st_ino);
  return true;
}

}  // namespace platform
