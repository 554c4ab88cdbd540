#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/eintr.h"
#include "platform/errors.h"

namespace platform {
namespace {

bool FailErrno() {
  SetLastError(ErrorFromErrno(errno));
  return false;
}

// One component: no folder part, nothing that leaves the folder.
bool PlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

// Splits a Linux path into its folder and last component ("name" alone is in ".").
bool SplitPath(const std::string& linux_path, std::string* folder, std::string* name) {
  const std::size_t slash = linux_path.rfind('/');
  if (slash == std::string::npos) {
    *folder = ".";
    *name = linux_path;
  } else {
    *folder = slash == 0 ? "/" : linux_path.substr(0, slash);
    *name = linux_path.substr(slash + 1);
  }
  return PlainName(*name);
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now; false (errno set) when the close reports a failure (a delayed write error).
  bool Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || close(fd) == 0 || errno == EINTR;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = RetryOnEintr([&] { return write(fd, bytes.data(), bytes.size()); });
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Some file systems cannot sync a folder (EINVAL); their renames are as durable as they get.
bool SyncFolder(int folder_fd) {
  const Descriptor folder(
      RetryOnEintr([&] { return openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (folder.get() < 0) return false;
  return RetryOnEintr([&] { return fsync(folder.get()); }) == 0 || errno == EINVAL;
}

ReadOutcome ReadOpened(int fd, const struct stat& info, std::size_t max_bytes,
                       std::string* bytes) {
  if (!S_ISREG(info.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return ReadOutcome::kNotRegular;
  }
  if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > max_bytes) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return ReadOutcome::kTooLarge;
  }
  // The size was read a moment ago; the file may have grown since. Reading one byte past the
  // bound tells a file that grew too far from one that ends at it.
  std::string read_bytes;
  read_bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
  std::size_t filled = 0;
  for (;;) {
    if (filled == read_bytes.size()) {
      if (read_bytes.size() > max_bytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return ReadOutcome::kTooLarge;
      }
      read_bytes.resize(std::min(max_bytes + 1, read_bytes.size() * 2));
    }
    const ssize_t n = RetryOnEintr(
        [&] { return read(fd, read_bytes.data() + filled, read_bytes.size() - filled); });
    if (n < 0) {
      FailErrno();
      return ReadOutcome::kFailed;
    }
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  if (filled > max_bytes) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return ReadOutcome::kTooLarge;
  }
  read_bytes.resize(filled);
  *bytes = std::move(read_bytes);
  return ReadOutcome::kRead;
}

ReadOutcome OpenFailure() {
  const int error = errno;
  SetLastError(ErrorFromErrno(error));
  if (error == ENOENT) return ReadOutcome::kMissing;
  // O_NOFOLLOW on a link gives ELOOP; a FIFO opened for reading without blocking opens, and a
  // device may refuse (ENXIO): each is something other than the file looked for.
  if (error == ELOOP || error == ENXIO || error == ENODEV) return ReadOutcome::kNotRegular;
  return ReadOutcome::kFailed;
}

}  // namespace

FolderHandle::FolderHandle(const std::string& linux_path)
    : fd_(RetryOnEintr([&] {
        return open(linux_path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      })) {
  if (fd_ < 0) FailErrno();
}

FolderHandle::~FolderHandle() {
  if (fd_ >= 0) close(fd_);
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool WriteFileAtomic(const FolderHandle& folder, const std::string& name,
                     std::string_view bytes) {
  if (!folder.ok() || !PlainName(name)) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  const std::string temporary = "." + name + ".tmp";
  // Whatever a crash or someone else left at the temporary name goes first (a link there is
  // removed, not followed); a folder there makes the write fail.
  if (unlinkat(folder.fd(), temporary.c_str(), 0) != 0 && errno != ENOENT) return FailErrno();
  Descriptor file(RetryOnEintr([&] {
    return openat(folder.fd(), temporary.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  }));
  if (file.get() < 0) return FailErrno();
  const auto abandon = [&] {
    const int error = errno;
    file.Close();
    unlinkat(folder.fd(), temporary.c_str(), 0);
    SetLastError(ErrorFromErrno(error));
    return false;
  };
  if (!WriteAll(file.get(), bytes)) return abandon();
  if (RetryOnEintr([&] { return fsync(file.get()); }) != 0) return abandon();
  if (!file.Close()) return abandon();
  if (renameat(folder.fd(), temporary.c_str(), folder.fd(), name.c_str()) != 0) {
    return abandon();
  }
  if (!SyncFolder(folder.fd())) return FailErrno();
  return true;
}

bool WriteFileAtomic(const std::string& linux_path, std::string_view bytes) {
  std::string folder_path, name;
  if (!SplitPath(linux_path, &folder_path, &name)) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  const FolderHandle folder(folder_path);
  return folder.ok() && WriteFileAtomic(folder, name, bytes);
}

ReadOutcome ReadFileBounded(const FolderHandle& folder, const std::string& name,
                            std::size_t max_bytes, std::string* bytes) {
  if (!folder.ok() || !PlainName(name)) {
    SetLastError(ERROR_INVALID_NAME);
    return ReadOutcome::kFailed;
  }
  // A device node is not even opened (opening one may act on the device): what stands at the
  // name is looked at first, and the file opened must be the one looked at.
  struct stat seen;
  if (fstatat(folder.fd(), name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0) return OpenFailure();
  if (!S_ISREG(seen.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return ReadOutcome::kNotRegular;
  }
  const Descriptor file(RetryOnEintr([&] {
    return openat(folder.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  }));
  if (file.get() < 0) return OpenFailure();
  struct stat info, folder_info;
  if (fstat(file.get(), &info) != 0 || fstat(folder.fd(), &folder_info) != 0) {
    FailErrno();
    return ReadOutcome::kFailed;
  }
  // Something mounted over the name is another volume's file, not this folder's; something
  // put there since it was looked at is not the file looked at.
  if (info.st_dev != folder_info.st_dev || info.st_dev != seen.st_dev ||
      info.st_ino != seen.st_ino) {
    SetLastError(ERROR_ACCESS_DENIED);
    return ReadOutcome::kNotRegular;
  }
  return ReadOpened(file.get(), info, max_bytes, bytes);
}

ReadOutcome ReadFileBounded(const std::string& linux_path, std::size_t max_bytes,
                            std::string* bytes) {
  struct stat seen;
  if (stat(linux_path.c_str(), &seen) != 0) return OpenFailure();
  if (!S_ISREG(seen.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return ReadOutcome::kNotRegular;
  }
  const Descriptor file(RetryOnEintr(
      [&] { return open(linux_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }));
  if (file.get() < 0) return OpenFailure();
  struct stat info;
  if (fstat(file.get(), &info) != 0) {
    FailErrno();
    return ReadOutcome::kFailed;
  }
  return ReadOpened(file.get(), info, max_bytes, bytes);
}

}  // namespace platform
