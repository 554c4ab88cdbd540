#include "platform/entry_beneath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "platform/atomic_file.h"
#include "platform/eintr.h"
#include "platform/errors.h"
#include "platform/file_status.h"
#include "platform/file_time.h"
#include "platform/paths.h"

namespace platform {
namespace {

bool Fail(ErrorCode code) {
  SetLastError(code);
  return false;
}

// "a\b\c" to "a/b/c"; false for a name that has no byte form.
bool LinuxRelative(const std::u16string& relative, std::string* path) {
  path->clear();
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = relative.find(u'\\', start);
    std::string bytes;
    if (!EncodeName(relative.substr(start, end - start), &bytes)) return false;
    if (!path->empty()) path->push_back('/');
    *path += bytes;
    if (end == std::u16string::npos) return true;
    start = end + 1;
  }
}

}  // namespace

bool GetFileAttributesBeneath(const std::string& root, const std::u16string& relative,
                              FileAttributeData* data) {
  std::string path;
  if (relative.empty() || !LinuxRelative(relative, &path)) return Fail(ERROR_INVALID_NAME);
  const FolderHandle folder(root);
  if (!folder.ok()) return false;
  struct open_how how = {};
  how.flags = O_PATH | O_CLOEXEC;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
  const int fd = static_cast<int>(RetryOnEintr([&] {
    return syscall(SYS_openat2, folder.fd(), path.c_str(), &how, sizeof how);
  }));
  if (fd < 0) {
    // Leaving the root or crossing a mount is EXDEV; a kernel without openat2 cannot tell, and
    // so refuses too.
    if (errno == EXDEV || errno == ENOSYS) return Fail(ERROR_ACCESS_DENIED);
    return Fail(ErrorFromErrno(errno));
  }
  struct statx info;
  const int result = RetryOnEintr([&] {
    return statx(fd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME,
                 &info);
  });
  const int error = errno;
  close(fd);
  if (result != 0) return Fail(ErrorFromErrno(error));
  // Only files and folders are copied: a FIFO or a device would be waited on or read forever.
  if (!S_ISREG(info.stx_mode) && !S_ISDIR(info.stx_mode)) return Fail(ERROR_ACCESS_DENIED);
  const auto hora = [](const struct statx_timestamp& t) { return FileTimeFromUnix(t.tv_sec, t.tv_nsec); };
  data->Attributes = AttributesFromMode(info.stx_mode);
  data->Times.LastWrite = hora(info.stx_mtime);
  data->Times.LastAccess = hora(info.stx_atime);
  data->Times.Creation = (info.stx_mask & STATX_BTIME) ? hora(info.stx_btime) : data->Times.LastWrite;
  data->Size = S_ISDIR(info.stx_mode) ? 0 : static_cast<std::int64_t>(info.stx_size);
  return true;
}

}  // namespace platform
