// Files on a destination drive below a handle of its root (volume_files.h): every folder on the
// way is opened with openat2 and RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV, a
// chunk of the path at a time so that no call is limited by PATH_MAX, and the last name is
// reached relative to its folder without following a link.
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "platform/drives.h"
#include "platform/eintr.h"
#include "platform/errors.h"
#include "platform/file_status.h"
#include "platform/find_listing.h"
#include "platform/open_file.h"
#include "platform/paths.h"
#include "platform/volume_files.h"

namespace platform {
namespace {

// Folders opened in one openat2 call hold at most this many bytes of path.
constexpr std::size_t kChunk = 3072;

class Fd final {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) close(fd_);
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};

bool Fail(ErrorCode code) {
  SetLastError(code);
  return false;
}

Handle FailHandle(ErrorCode code) {
  SetLastError(code);
  return kInvalidHandle;
}

// A link, or a name that would leave the drive or enter another mount, is no place to write.
ErrorCode ErrorBeneath(int errno_value) {
  if (errno_value == ELOOP || errno_value == EXDEV) return ERROR_CANT_RESOLVE_FILENAME;
  return ErrorFromErrno(errno_value);
}

int OpenBeneath(int folder, const std::string& path, int flags) {
  open_how how{};
  // RESOLVE_NO_SYMLINKS refuses a link as the last name too (ELOOP); O_NOFOLLOW would make
  // an O_PATH open return the link itself.
  how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV;
  for (;;) {
    const long fd = syscall(SYS_openat2, folder, path.c_str(), &how, sizeof how);
    // EAGAIN: a rename elsewhere on the drive raced the walk; it is safe to walk again.
    if (fd < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    return static_cast<int>(fd);
  }
}

// A path below the root as its Linux names. Refuses empty names, "." and "..", and names with
// no byte form.
bool SplitPath(const std::u16string& path, std::vector<std::string>* names) {
  names->clear();
  if (path.empty()) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find(u'\\', start);
    const std::u16string name = path.substr(start, end == std::u16string::npos ? end : end - start);
    std::string bytes;
    if (name.empty() || name == u"." || name == u".." ||
        name.find(u'\0') != std::u16string::npos || name.find(u'/') != std::u16string::npos ||
        !EncodeName(name, &bytes))
      return Fail(ERROR_INVALID_NAME);
    names->push_back(std::move(bytes));
    if (end == std::u16string::npos) return true;
    start = end + 1;
  }
}

struct Root {
  std::shared_ptr<OpenFile> file;
  int fd() const { return file->fd(); }
};

bool RootOf(Handle handle, Root* root) {
  root->file = FileOf(handle);
  return root->file != nullptr;
}

// The folder `names[0 .. count)` below `folder`, for *at calls (O_PATH). With `create`, missing
// folders are made on the way.
ErrorCode OpenFolders(int folder, const std::vector<std::string>& names, std::size_t count,
                      bool create, Fd* result) {
  Fd current(fcntl(folder, F_DUPFD_CLOEXEC, 0));
  if (current.get() < 0) return ErrorFromErrno(errno);
  std::size_t i = 0;
  while (i < count) {
    // As many names as fit in one call; one at a time where folders are being made.
    std::string chunk = names[i];
    std::size_t next = i + 1;
    while (next < count && chunk.size() + 1 + names[next].size() <= kChunk) {
      chunk += '/' + names[next];
      ++next;
    }
    int fd = OpenBeneath(current.get(), chunk, O_PATH | O_DIRECTORY);
    if (fd < 0 && errno == ENOENT && create) {
      next = i + 1;
      chunk = names[i];
      if (RetryOnEintr([&] { return mkdirat(current.get(), chunk.c_str(), 0777); }) != 0 &&
          errno != EEXIST)
        return ErrorBeneath(errno);
      fd = OpenBeneath(current.get(), chunk, O_PATH | O_DIRECTORY);
    }
    if (fd < 0) {
      const int error = errno;
      if (error == ENOENT) return ERROR_PATH_NOT_FOUND;
      return ErrorBeneath(error);
    }
    current = Fd(fd);
    i = next;
  }
  *result = std::move(current);
  return ERROR_SUCCESS;
}

// The folder that holds the last name of `path`, and that name. A name right below the handle
// it is reached from uses that handle's descriptor, held open by `root` for the call.
struct Place {
  Root root;
  Fd below;  // the folder when it is below the root
  std::string name;
  std::string linux_path;  // for messages and fault injection only
  int folder() const { return below.get() >= 0 ? below.get() : root.fd(); }
};

bool Locate(const Root& root, const std::u16string& path, bool create_folders, Place* place) {
  std::vector<std::string> names;
  if (!SplitPath(path, &names)) return false;
  if (names.empty()) return Fail(ERROR_INVALID_NAME);
  place->root = root;
  if (names.size() > 1) {
    if (const ErrorCode error =
            OpenFolders(root.fd(), names, names.size() - 1, create_folders, &place->below))
      return Fail(error);
  }
  place->name = names.back();
  place->linux_path = root.file->LinuxPath();
  for (const std::string& name : names) place->linux_path += '/' + name;
  return true;
}

// What stands at the place, links not followed; ENOENT when nothing does.
int StatPlace(const Place& place, struct stat* info) {
  return RetryOnEintr([&] {
           return fstatat(place.folder(), place.name.c_str(), info, AT_SYMLINK_NOFOLLOW);
         }) == 0
             ? 0
             : errno;
}

// The place of an entry that must be there, and what stands there.
bool LocateEntry(Handle root_handle, const std::u16string& path, Place* place,
                 struct stat* info) {
  Root root;
  if (!RootOf(root_handle, &root) || !Locate(root, path, false, place)) return false;
  if (const int error = StatPlace(*place, info)) return Fail(ErrorBeneath(error));
  return true;
}

// Only a regular file or a folder may be opened, changed or written; anything else standing
// at a name (a link, a FIFO, a device node, a socket) fails it without being touched.
ErrorCode RefuseOddEntry(const struct stat& info) {
  if (S_ISLNK(info.st_mode)) return ERROR_CANT_RESOLVE_FILENAME;
  if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

}  // namespace

Handle OpenVolumeRoot(const std::string& mount_point) {
  const int fd = RetryOnEintr(
      [&] { return open(mount_point.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) return FailHandle(ErrorFromErrno(errno));
  Fd guard(fd);
  // The folder a drive was mounted on is still there once it is unmounted: writing into it
  // would fill the system disk.
  if (!CurrentDrives()->IsMountedFolder(mount_point, fd)) return FailHandle(ERROR_NOT_READY);
  const Handle handle = AdoptFile(guard.Release(), mount_point, true, false, false);
  return handle;
}

bool CreateFoldersAt(Handle root_handle, const std::u16string& path) {
  Root root;
  if (!RootOf(root_handle, &root)) return false;
  std::vector<std::string> names;
  if (!SplitPath(path, &names)) return false;
  Fd folder;
  if (const ErrorCode error = OpenFolders(root.fd(), names, names.size(), true, &folder))
    return Fail(error);
  return true;
}

Handle CreateFileAt(Handle root_handle, const std::u16string& path, std::uint32_t access,
                    std::uint32_t disposition, std::uint32_t flags) {
  Root root;
  if (!RootOf(root_handle, &root)) return kInvalidHandle;
  Place place;
  if (!Locate(root, path, false, &place)) return kInvalidHandle;
  const bool can_read = (access & GENERIC_READ) != 0;
  const bool can_write = (access & GENERIC_WRITE) != 0;
  const int mode = can_write ? (can_read ? O_RDWR : O_WRONLY) : O_RDONLY;
  int fd;
  if (disposition == CREATE_NEW) {
    // O_EXCL never opens what is there, link or FIFO or device.
    fd = RetryOnEintr([&] {
      return openat(place.folder(), place.name.c_str(),
                    mode | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    });
    if (fd < 0) return FailHandle(ErrorBeneath(errno));
  } else if (disposition == OPEN_EXISTING) {
    struct stat info;
    if (const int error = StatPlace(place, &info)) return FailHandle(ErrorBeneath(error));
    if (const ErrorCode error = RefuseOddEntry(info)) return FailHandle(error);
    const bool folder = S_ISDIR(info.st_mode);
    if (folder && !(flags & FILE_FLAG_BACKUP_SEMANTICS)) return FailHandle(ERROR_ACCESS_DENIED);
    // A file opened only to be read keeps its access time: reading back a copy or checking a
    // stick changes nothing on it, and writes no inode per file. Only the file's owner (or
    // root) may ask that; anyone else reads as usual.
    const int lectura = mode == O_RDONLY ? O_NOATIME : 0;
    fd = OpenBeneath(place.folder(), place.name,
                     folder ? O_RDONLY | O_DIRECTORY : mode | O_NONBLOCK | lectura);
    if (fd < 0 && errno == EPERM && lectura != 0)
      fd = OpenBeneath(place.folder(), place.name, mode | O_NONBLOCK);
    if (fd < 0) return FailHandle(ErrorBeneath(errno));
    // The entry must still be the one looked at.
    struct stat opened;
    if (fstat(fd, &opened) != 0 || opened.st_ino != info.st_ino || opened.st_dev != info.st_dev) {
      close(fd);
      return FailHandle(ERROR_ACCESS_DENIED);
    }
    if (folder) return AdoptFile(fd, place.linux_path, false, false, false);
  } else {
    return FailHandle(ERROR_INVALID_PARAMETER);
  }
  return AdoptFile(fd, place.linux_path, can_read, can_write,
                   (flags & FILE_FLAG_NO_BUFFERING) != 0);
}

bool SetFileAttributesAt(Handle root_handle, const std::u16string& path,
                         std::uint32_t attributes) {
  const Handle file = CreateFileAt(root_handle, path, GENERIC_READ, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS);
  if (file == kInvalidHandle) return false;
  const bool set = SetFileAttributesByHandle(file, attributes);
  const ErrorCode error = set ? ERROR_SUCCESS : GetLastError();
  CloseHandle(file);
  return set || Fail(error);
}

bool GetFileAttributesExAt(Handle root_handle, const std::u16string& path,
                           FileAttributeData* data) {
  Place place;
  struct stat info;
  if (!LocateEntry(root_handle, path, &place, &info)) return false;
  if (const ErrorCode error = RefuseOddEntry(info)) return Fail(error);
  if (const int error = StatEntry(place.folder(), place.name.c_str(), data,
                                  AT_SYMLINK_NOFOLLOW))
    return Fail(ErrorBeneath(error));
  return true;
}

bool DeleteFileAt(Handle root_handle, const std::u16string& path) {
  Place place;
  struct stat info;
  if (!LocateEntry(root_handle, path, &place, &info)) return false;
  if (!S_ISREG(info.st_mode) || (info.st_mode & S_IWUSR) == 0) return Fail(ERROR_ACCESS_DENIED);
  if (RetryOnEintr([&] { return unlinkat(place.folder(), place.name.c_str(), 0); }) != 0)
    return Fail(ErrorBeneath(errno));
  return true;
}

bool RemoveDirectoryAt(Handle root_handle, const std::u16string& path) {
  Place place;
  struct stat info;
  if (!LocateEntry(root_handle, path, &place, &info)) return false;
  if (!S_ISDIR(info.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  if (RetryOnEintr([&] {
        return unlinkat(place.folder(), place.name.c_str(), AT_REMOVEDIR);
      }) != 0)
    return Fail(ErrorBeneath(errno));
  return true;
}

bool MoveFileAt(Handle root_handle, const std::u16string& from, const std::u16string& to) {
  Root root;
  if (!RootOf(root_handle, &root)) return false;
  Place source, target;
  if (!Locate(root, from, false, &source) || !Locate(root, to, false, &target)) return false;
  struct stat info;
  if (const int error = StatPlace(source, &info)) return Fail(ErrorBeneath(error));
  if (!S_ISREG(info.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  struct stat there;
  if (const int error = StatPlace(target, &there)) {
    if (error != ENOENT) return Fail(ErrorBeneath(error));
  } else if (const ErrorCode odd = RefuseOddEntry(there)) {
    return Fail(odd);
  } else if (S_ISDIR(there.st_mode)) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  if (RetryOnEintr([&] {
        return renameat(source.folder(), source.name.c_str(), target.folder(),
                        target.name.c_str());
      }) != 0)
    return Fail(ErrorBeneath(errno));
  return true;
}

Handle FindFirstFileAt(Handle root_handle, const std::u16string& path, FindData* data) {
  Root root;
  if (!RootOf(root_handle, &root)) return kInvalidHandle;
  std::vector<std::string> names;
  if (!SplitPath(path, &names)) return kInvalidHandle;
  Fd folder;
  if (const ErrorCode error = OpenFolders(root.fd(), names, names.size(), false, &folder))
    return FailHandle(error);
  const int fd = OpenBeneath(folder.get(), ".", O_RDONLY | O_DIRECTORY);
  if (fd < 0) return FailHandle(ErrorBeneath(errno));
  return StartListing(fd, false, data);
}

}  // namespace platform
