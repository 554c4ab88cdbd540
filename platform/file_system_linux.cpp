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

bool IsFolder(const std::string& linux_path) {
  struct stat info;
  return RetryOnEintr([&] { return stat(linux_path.c_str(), &info); }) == 0 &&
         S_ISDIR(info.st_mode);
}

int MakeFolder(const std::string& linux_path) {
  return RetryOnEintr([&] { return mkdir(linux_path.c_str(), 0777); });
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
  if (const int error = StatEntry(AT_FDCWD, linux_path.c_str(), data))
    return FailAt(linux_path, error);
  return true;
}

bool SetFileAttributes(const std::u16string& path, std::uint32_t attributes) {
  std::string linux_path;
  if (!ResolvePath(path, &linux_path)) return false;
  struct stat info;
  if (RetryOnEintr([&] { return stat(linux_path.c_str(), &info); }) != 0)
    return FailAt(linux_path, errno);
  // Folders keep their permissions (see AttributesFromMode).
  if (S_ISDIR(info.st_mode)) return true;
  const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY)
                          ? info.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)
                          : info.st_mode | S_IWUSR;
  if (mode == info.st_mode) return true;
  if (RetryOnEintr([&] { return chmod(linux_path.c_str(), mode & 07777); }) != 0)
    return FailAt(linux_path, errno);
  return true;
}

bool DeleteFile(const std::u16string& path) {
  std::string linux_path;
  if (!ResolvePath(path, &linux_path)) return false;
  // A read-only file stays, as the program's callers expect of a delete.
  struct stat info;
  if (RetryOnEintr([&] { return lstat(linux_path.c_str(), &info); }) != 0)
    return FailAt(linux_path, errno);
  if (S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (RetryOnEintr([&] { return unlink(linux_path.c_str()); }) != 0)
    return FailAt(linux_path, errno);
  return true;
}

bool RemoveDirectory(const std::u16string& path) {
  std::string linux_path;
  if (!ResolvePath(path, &linux_path)) return false;
  if (RetryOnEintr([&] { return rmdir(linux_path.c_str()); }) != 0)
    return FailAt(linux_path, errno);
  return true;
}

bool ForceDirectories(const std::u16string& path) {
  std::string linux_path;
  if (!ResolvePath(path, &linux_path)) return false;
  if (const int error = MakeFolders(linux_path)) return FailAt(linux_path, error);
  return true;
}

}  // namespace platform
