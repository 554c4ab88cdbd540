// Open files: CreateFile with its share locks, overlapped transfers through the bound
// completion port, the file pointer, the end of file and the file times.
//
// Share modes on Linux: a writer opened with share 0 holds flock(LOCK_EX) for as long as the
// file is open, and every other open probes with LOCK_SH and fails with a sharing violation
// while such a lock is held. Linux locks are advisory, so only programs that lock (this one)
// are kept out; the other share combinations have no flock form and are not enforced.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <string>
#include <utility>

#include "platform/eintr.h"
#include "platform/errors.h"
#include "platform/file_paths.h"
#include "platform/file_status.h"
#include "platform/file_time.h"
#include "platform/files.h"
#include "platform/handle_table.h"
#include "platform/open_file.h"
#include "platform/transfer.h"
#include "platform/volume_files.h"

namespace platform {
namespace {

bool Fail(ErrorCode code) {
  SetLastError(code);
  return false;
}

Handle FailHandle(ErrorCode code) {
  SetLastError(code);
  return kInvalidHandle;
}

// Closes a descriptor on every early return until it is handed over.
class FdGuard final {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  ~FdGuard() {
    if (fd_ >= 0) close(fd_);
  }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Takes the share lock of a new open (see the top of the file). A file system that cannot lock
// at all is opened without one; only a lock held by another open is a failure.
ErrorCode TakeShareLock(int fd, bool exclusive) {
  if (RetryOnEintr([&] { return flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB); }) != 0)
    return errno == EWOULDBLOCK ? ErrorFromErrno(errno) : ERROR_SUCCESS;
  if (!exclusive) flock(fd, LOCK_UN);
  return ERROR_SUCCESS;
}

bool OpenFlags(std::uint32_t disposition, bool can_read, bool can_write, int* flags) {
  int creation;
  switch (disposition) {
    case CREATE_NEW: creation = O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS:  // truncated only once the share lock is held
    case OPEN_ALWAYS: creation = O_CREAT; break;
    case OPEN_EXISTING: creation = 0; break;
    default: return false;
  }
  const int access = can_write ? (can_read ? O_RDWR : O_WRONLY) : O_RDONLY;
  // O_NONBLOCK keeps a FIFO from blocking the open; it is cleared again for regular files.
  *flags = access | creation | O_CLOEXEC | O_NONBLOCK;
  return true;
}

// Status flags of a regular file after the open: blocking, and O_DIRECT where asked and
// allowed. *direct tells whether O_DIRECT is on.
ErrorCode SetTransferMode(int fd, bool want_direct, bool* direct) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return ErrorFromErrno(errno);
  const int blocking = flags & ~O_NONBLOCK;
  *direct = want_direct && fcntl(fd, F_SETFL, blocking | O_DIRECT) == 0;
  if (*direct) return ERROR_SUCCESS;
  // The file system refuses O_DIRECT (EINVAL): buffered transfers keep the same size rules.
  if (flags != blocking && fcntl(fd, F_SETFL, blocking) != 0) return ErrorFromErrno(errno);
  return ERROR_SUCCESS;
}

// A folder handle (FILE_FLAG_BACKUP_SEMANTICS), good for SetFileTime. Returns the descriptor,
// or -1 with errno set (ENOTDIR when the path is not a folder).
int OpenFolder(const std::string& linux_path) {
  PathAt at;
  if (!at.Open(linux_path)) return -1;
  return RetryOnEintr(
      [&] { return openat(at.dir(), at.name(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
}

int OpenPath(const std::string& linux_path, int flags) {
  PathAt at;
  if (!at.Open(linux_path)) return -1;
  return RetryOnEintr([&] { return openat(at.dir(), at.name(), flags, 0666); });
}

bool QueueFileTransfer(Handle handle, void* buffer, std::uint32_t bytes, Overlapped* ov,
                       bool is_write, bool flush = false) {
  std::shared_ptr<OpenFile> file = FileOf(handle);
  if (!file) return false;
  if (!ov || (!buffer && bytes > 0)) return Fail(ERROR_INVALID_PARAMETER);
  if (!flush && (is_write ? !file->can_write() : !file->can_read()))
    return Fail(ERROR_ACCESS_DENIED);
  PortPtr port = file->port();
  if (!port) return Fail(ERROR_INVALID_PARAMETER);
  Transfer transfer;
  transfer.file = file;
  transfer.handle = handle;
  transfer.buffer = buffer;
  transfer.bytes = bytes;
  transfer.offset = static_cast<std::int64_t>((std::uint64_t{ov->OffsetHigh} << 32) | ov->Offset);
  transfer.is_write = is_write;
  transfer.flush = flush;
  transfer.ov = ov;
  return QueueTransfer(*port, std::move(transfer));
}

// Extends the file to `size` with its blocks allocated, so that a full volume shows here
// rather than in the middle of the transfers; where the file system cannot allocate ahead, the
// file is only made longer.
int ExtendTo(int fd, std::int64_t size) {
  if (RetryOnEintr([&] { return fallocate(fd, 0, 0, size); }) == 0) return 0;
  if (errno != EOPNOTSUPP && errno != ENOSYS) return -1;
  return RetryOnEintr([&] { return ftruncate(fd, size); });
}

timespec TimeSpec(FileTime time) {
  timespec spec{0, UTIME_OMIT};
  if (time == 0) return spec;
  std::int64_t seconds;
  std::uint32_t nanoseconds;
  UnixFromFileTime(time, &seconds, &nanoseconds);
  spec.tv_sec = static_cast<time_t>(seconds);
  spec.tv_nsec = static_cast<long>(nanoseconds);
  return spec;
}

}  // namespace

std::shared_ptr<OpenFile> FileOf(Handle handle) {
  std::shared_ptr<OpenFile> file = HandleAs<OpenFile>(handle);
  if (!file) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

Handle AdoptFile(int fd, std::string linux_path, bool can_read, bool can_write,
                 bool want_direct) {
  FdGuard guard(fd);
  OpenFile::Options options;
  options.can_read = can_read;
  options.can_write = can_write;
  if (ErrorCode error = SetTransferMode(fd, want_direct, &options.direct))
    return FailHandle(error);
  return AddHandle(std::make_shared<OpenFile>(guard.Release(), std::move(linux_path), options));
}

Handle CreateFile(const std::u16string& path, std::uint32_t access, std::uint32_t share,
                  std::uint32_t disposition, std::uint32_t flags) {
  std::string linux_path;
  if (!ResolvePath(path, &linux_path)) return kInvalidHandle;
  OpenFile::Options options;
  options.can_read = (access & GENERIC_READ) != 0;
  options.can_write = (access & GENERIC_WRITE) != 0;
  int open_flags;
  if (!OpenFlags(disposition, options.can_read, options.can_write, &open_flags))
    return FailHandle(ERROR_INVALID_PARAMETER);

  if (flags & FILE_FLAG_BACKUP_SEMANTICS) {
    const int folder_fd = OpenFolder(linux_path);
    if (folder_fd >= 0) return AddHandle(std::make_shared<OpenFile>(folder_fd, linux_path,
                                                                    OpenFile::Options{}));
    if (errno != ENOTDIR && errno != ENOENT) return FailHandle(ErrorForPath(linux_path, errno));
  }

  const int fd = OpenPath(linux_path, open_flags);
  if (fd < 0) return FailHandle(ErrorForPath(linux_path, errno));
  FdGuard guard(fd);
  struct stat info;
  if (fstat(fd, &info) != 0) return FailHandle(ErrorFromErrno(errno));
  // A folder without FILE_FLAG_BACKUP_SEMANTICS, a device or a FIFO is no file to copy.
  if (!S_ISREG(info.st_mode)) return FailHandle(ERROR_ACCESS_DENIED);
  const bool exclusive = options.can_write && share == 0;
  if (ErrorCode error = TakeShareLock(fd, exclusive)) return FailHandle(error);
  if (disposition == CREATE_ALWAYS && RetryOnEintr([&] { return ftruncate(fd, 0); }) != 0)
    return FailHandle(ErrorFromErrno(errno));
  if (ErrorCode error =
          SetTransferMode(fd, (flags & FILE_FLAG_NO_BUFFERING) != 0, &options.direct))
    return FailHandle(error);
  return AddHandle(std::make_shared<OpenFile>(guard.Release(), std::move(linux_path), options));
}

bool CloseHandle(Handle handle) {
  std::shared_ptr<HandleObject> object = RemoveHandle(handle);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  // A transfer still under way holds the file and closes it when it ends; otherwise the close
  // happens here and its failure is this call's.
  auto file = std::dynamic_pointer_cast<OpenFile>(std::move(object));
  if (file && file.use_count() == 1) {
    if (const int error = file->CloseNow()) return Fail(ErrorFromErrno(error));
  }
  return true;
}

bool CancelIo(Handle handle) {
  std::shared_ptr<OpenFile> file = FileOf(handle);
  if (!file) return false;
  if (PortPtr port = file->port()) CancelTransfers(*port, handle);
  return true;
}

bool BindToPort(Handle handle, const PortPtr& port) {
  std::shared_ptr<OpenFile> file = FileOf(handle);
  if (!file) return false;
  if (!port || !file->Bind(port)) return Fail(ERROR_INVALID_PARAMETER);
  return true;
}

bool ReadFile(Handle file, void* buffer, std::uint32_t bytes, Overlapped* ov) {
  return QueueFileTransfer(file, buffer, bytes, ov, false);
}

bool WriteFile(Handle file, const void* buffer, std::uint32_t bytes, Overlapped* ov) {
  return QueueFileTransfer(file, const_cast<void*>(buffer), bytes, ov, true);
}

bool SetFilePointer(Handle handle, std::int64_t position) {
  std::shared_ptr<OpenFile> file = FileOf(handle);
  if (!file) return false;
  if (position < 0) return Fail(ERROR_INVALID_PARAMETER);
  file->set_position(position);
  return true;
}

bool SetEndOfFile(Handle handle) {
  std::shared_ptr<OpenFile> file = FileOf(handle);
  if (!file) return false;
  if (!file->can_write()) return Fail(ERROR_ACCESS_DENIED);
  struct stat info;
  if (fstat(file->fd(), &info) != 0) return Fail(ErrorFromErrno(errno));
  const std::int64_t size = file->position();
  const int result = size > info.st_size
                         ? ExtendTo(file->fd(), size)
                         : RetryOnEintr([&] { return ftruncate(file->fd(), size); });
  if (result != 0) return Fail(ErrorFromErrno(errno));
  return true;
}

bool SetFileTime(Handle handle, FileTime /*creation: Linux cannot set it*/,
                 FileTime last_access, FileTime last_write) {
  std::shared_ptr<OpenFile> file = FileOf(handle);
  if (!file) return false;
  const timespec times[2] = {TimeSpec(last_access), TimeSpec(last_write)};
  if (times[0].tv_nsec == UTIME_OMIT && times[1].tv_nsec == UTIME_OMIT) return true;
  if (RetryOnEintr([&] { return futimens(file->fd(), times); }) != 0)
    return Fail(ErrorFromErrno(errno));
  return true;
}

bool FlushVolume(Handle root, Overlapped* ov) {
  return QueueFileTransfer(root, nullptr, 0, ov, true, true);
}

bool GetFileAttributesByHandle(Handle handle, FileAttributeData* data) {
  std::shared_ptr<OpenFile> file = FileOf(handle);
  if (!file) return false;
  if (const int error = StatEntry(file->fd(), "", data, AT_EMPTY_PATH))
    return Fail(ErrorFromErrno(error));
  return true;
}

bool SetFileAttributesByHandle(Handle handle, std::uint32_t attributes) {
  std::shared_ptr<OpenFile> file = FileOf(handle);
  if (!file) return false;
  struct stat info;
  if (fstat(file->fd(), &info) != 0) return Fail(ErrorFromErrno(errno));
  // Folders keep their permissions (see AttributesFromMode).
  if (S_ISDIR(info.st_mode)) return true;
  const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY)
                          ? info.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)
                          : info.st_mode | S_IWUSR;
  if (mode != info.st_mode &&
      RetryOnEintr([&] { return fchmod(file->fd(), mode & 07777); }) != 0)
    return Fail(ErrorFromErrno(errno));
  return true;
}

}  // namespace platform
