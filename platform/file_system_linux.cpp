// Calls on files and folders by path: attributes, deleting, creating folders.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/eintr.h"
#include "platform/errors.h"
#include "platform/file_paths.h"
#include "platform/file_status.h"
#include "platform/files.h"

namespace platform {
namespace {

bool FailAt(const std::string& linux_path, int errno_value) {
  SetLastError(ErrorForPath(linux_path, errno_value));
  return false;
}

// stat, lstat (AT_SYMLINK_NOFOLLOW) of a path of any length. 0 or -1 with errno set.
int StatPath(const std::string& linux_path, struct stat* info, int flags = 0) {
  PathAt at;
  if (!at.Open(linux_path)) return -1;
  return RetryOnEintr([&] { return fstatat(at.dir(), at.name(), info, flags); });
}

bool IsFolder(const std::string& linux_path) {
  struct stat info;
  return StatPath(linux_path, &info) == 0 && S_ISDIR(info.st_mode);
}

int MakeFolder(const std::string& linux_path) {
  PathAt at;
  if (!at.Open(linux_path)) return -1;
  return RetryOnEintr([&] { return mkdirat(at.dir(), at.name(), 0777); });
}

// unlink or rmdir (AT_REMOVEDIR) of a path of any length.
int Unlink(const std::string& linux_path, int flags) {
  PathAt at;
  if (!at.Open(linux_path)) return -1;
  return RetryOnEintr([&] { return unlinkat(at.dir(), at.name(), flags); });
}

// Creates the folder and the missing ones above it. Returns 0 when it is a folder afterwards,
// else the errno of the failure.
int MakeFolders(const std::string& linux_path) {
  if (MakeFolder(linux_path) == 0) return 0;
  if (errno == EEXIST) return IsFolder(linux_path) ? 0 : EEXIST;
  if (errno != ENOENT) return errno;
  const std::string parent = ParentFolder(linux_path);
  if (parent.empty() || parent == linux_path) return ENOENT;
  if (const int error = MakeFolders(parent)) return error;
  if (MakeFolder(linux_path) == 0) return 0;
  // Another thread may have created it in between.
  if (errno == EEXIST && IsFolder(linux_path)) return 0;
  return errno;
}

}  // namespace

std::uint32_t GetFileAttributes(const std::u16string& path) {
  FileAttributeData data;
  return GetFileAttributesEx(path, &data) ? data.Attributes : INVALID_FILE_ATTRIBUTES;
}

bool GetFileAttributesEx(const std::u16string& path, FileAttributeData* data) {
  std::string linux_path;
  if (!ResolvePath(path, &linux_path)) return false;
  PathAt at;
  if (!at.Open(linux_path)) return FailAt(linux_path, errno);
  if (const int error = StatEntry(at.dir(), at.name(), data)) return FailAt(linux_path, error);
  return true;
}

bool SetFileAttributes(const std::u16string& path, std::uint32_t attributes) {
  std::string linux_path;
  if (!ResolvePath(path, &linux_path)) return false;
  PathAt at;
  struct stat info;
  if (!at.Open(linux_path) ||
      RetryOnEintr([&] { return fstatat(at.dir(), at.name(), &info, 0); }) != 0)
    return FailAt(linux_path, errno);
  // Folders keep their permissions (see AttributesFromMode).
  if (S_ISDIR(info.st_mode)) return true;
  const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY)
                          ? info.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)
                          : info.st_mode | S_IWUSR;
  if (mode == info.st_mode) return true;
  if (RetryOnEintr([&] { return fchmodat(at.dir(), at.name(), mode & 07777, 0); }) != 0)
    return FailAt(linux_path, errno);
  return true;
}

bool DeleteFile(const std::u16string& path) {
  std::string linux_path;
  if (!ResolvePath(path, &linux_path)) return false;
  // A read-only file stays, as the program's callers expect of a delete.
  struct stat info;
  if (StatPath(linux_path, &info, AT_SYMLINK_NOFOLLOW) != 0) return FailAt(linux_path, errno);
  if (S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (Unlink(linux_path, 0) != 0) return FailAt(linux_path, errno);
  return true;
}

bool RemoveDirectory(const std::u16string& path) {
  std::string linux_path;
  if (!ResolvePath(path, &linux_path)) return false;
  if (Unlink(linux_path, AT_REMOVEDIR) != 0) return FailAt(linux_path, errno);
  return true;
}

bool ForceDirectories(const std::u16string& path) {
  std::string linux_path;
  if (!ResolvePath(path, &linux_path)) return false;
  if (const int error = MakeFolders(linux_path)) return FailAt(linux_path, error);
  return true;
}

}  // namespace platform
