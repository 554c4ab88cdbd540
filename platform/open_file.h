// An open file or folder behind a handle of the file calls, and what a port's transfer thread
// does with it. Internal to the platform layer.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/completion_port.h"
#include "platform/eintr.h"
#include "platform/errors.h"
#include "platform/handle_table.h"
#include "platform/transfer.h"

namespace platform {

class OpenFile final : public HandleObject, public TransferFile {
 public:
  struct Options {
    bool can_read = false;
    bool can_write = false;
    bool direct = false;  // O_DIRECT is set on fd
  };

  OpenFile(int fd, std::string linux_path, const Options& options)
      : fd_(fd), linux_path_(std::move(linux_path)), options_(options) {}

  ~OpenFile() override {
    // Nothing is left to report to: the handle is gone and no transfer uses the file any more.
    if (fd_ >= 0) close(fd_);
    if (buffered_fd_ >= 0) close(buffered_fd_);
  }

  // The last holder closes at once, so that the caller hears of a failed close (a write error
  // reported late). 0 or the errno of the failure.
  int CloseNow() {
    int error = 0;
    if (buffered_fd_ >= 0 && close(std::exchange(buffered_fd_, -1)) != 0) error = errno;
    if (close(std::exchange(fd_, -1)) != 0 && error == 0) error = errno;
    return error == EINTR ? 0 : error;
  }

  int fd() const { return fd_; }
  bool can_read() const { return options_.can_read; }
  bool can_write() const { return options_.can_write; }
  const std::string& LinuxPath() const override { return linux_path_; }

  std::int64_t position() const { return position_.load(std::memory_order_relaxed); }
  void set_position(std::int64_t position) {
    position_.store(position, std::memory_order_relaxed);
  }

  PortPtr port() const {
    std::lock_guard lock(mutex_);
    return port_.lock();
  }

  // False when the file is already bound to another port that still exists.
  bool Bind(const PortPtr& port) {
    std::lock_guard lock(mutex_);
    const PortPtr bound = port_.lock();
    if (bound && bound != port) return false;
    port_ = port;
    return true;
  }

  // Everything written to the file's volume, to its device: the volume's first write-back
  // error since the file was opened.
  ErrorCode Flush() override {
    return syncfs(fd_) == 0 ? ERROR_SUCCESS : ErrorFromErrno(errno);
  }

  ErrorCode Move(void* buffer, std::uint32_t bytes, std::int64_t offset, bool is_write,
                 std::uint32_t* moved) override {
    char* const data = static_cast<char*>(buffer);
    std::uint32_t done = 0;
    int fd = fd_;
    ErrorCode error = ERROR_SUCCESS;
    while (done < bytes) {
      const ssize_t n = is_write ? pwrite(fd, data + done, bytes - done, offset + done)
                                 : pread(fd, data + done, bytes - done, offset + done);
      if (n > 0) {
        done += static_cast<std::uint32_t>(n);
        continue;
      }
      if (n == 0) break;  // end of file
      if (errno == EINTR) continue;
      // Direct I/O refuses a buffer, offset or size that is not aligned the way the file system
      // wants (also the rest of a read cut short at the end of the file): go on buffered.
      if (errno == EINVAL && fd == fd_ && options_.direct) {
        error = BufferedFd(&fd);
        if (error == ERROR_SUCCESS) continue;
        break;
      }
      error = ErrorFromErrno(errno);
      break;
    }
    // Buffered bytes go to the device at once, as unbuffered ones do: the copy moves while the
    // next files are made rather than all at the job's sync, and the dirty memory stays what the
    // device has yet to take. A failure to write them back shows in that sync.
    if (is_write && done > 0 && !(fd == fd_ && options_.direct)) {
      sync_file_range(fd, offset, done, SYNC_FILE_RANGE_WRITE);
    }
    *moved = done;
    return error;
  }

 private:
  // The same file without O_DIRECT, opened at the first transfer that needs it.
  ErrorCode BufferedFd(int* fd) {
    std::lock_guard lock(mutex_);
    if (buffered_fd_ < 0) {
      const int access = options_.can_write ? (options_.can_read ? O_RDWR : O_WRONLY) : O_RDONLY;
      const std::string self = "/proc/self/fd/" + std::to_string(fd_);
      buffered_fd_ = RetryOnEintr([&] { return open(self.c_str(), access | O_CLOEXEC); });
      if (buffered_fd_ < 0) return ErrorFromErrno(errno);
    }
    *fd = buffered_fd_;
    return ERROR_SUCCESS;
  }

  int fd_;
  const std::string linux_path_;
  const Options options_;
  std::atomic<std::int64_t> position_{0};
  mutable std::mutex mutex_;
  std::weak_ptr<CompletionPort> port_;  // guarded by mutex_
  int buffered_fd_ = -1;                // guarded by mutex_
};

// A handle for a descriptor just opened: blocking, with O_DIRECT where asked and allowed. The
// handle owns fd from here on, also when this fails (kInvalidHandle, last error set).
Handle AdoptFile(int fd, std::string linux_path, bool can_read, bool can_write,
                 bool want_direct);

// The open file of a handle; nullptr with ERROR_INVALID_HANDLE set.
std::shared_ptr<OpenFile> FileOf(Handle handle);

}  // namespace platform
