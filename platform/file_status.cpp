// The attributes, times and size of a file from statx.
#include "platform/file_status.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/eintr.h"
#include "platform/file_time.h"

namespace platform {
namespace {

FileTime FromStatx(const struct statx_timestamp& stamp) {
  return FileTimeFromUnix(stamp.tv_sec, stamp.tv_nsec);
}

}  // namespace

std::uint32_t AttributesFromMode(mode_t mode) {
  if (S_ISDIR(mode)) return FILE_ATTRIBUTE_DIRECTORY;
  return (mode & S_IWUSR) ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_READONLY;
}

int StatEntry(int folder_fd, const char* name, FileAttributeData* data, int flags) {
  struct statx info;
  if (RetryOnEintr([&] {
        return statx(folder_fd, name, AT_STATX_SYNC_AS_STAT | flags, STATX_BASIC_STATS | STATX_BTIME,
                     &info);
      }) != 0)
    return errno;
  data->Attributes = AttributesFromMode(info.stx_mode);
  data->Times.LastWrite = FromStatx(info.stx_mtime);
  data->Times.LastAccess = FromStatx(info.stx_atime);
  data->Times.Creation =
      (info.stx_mask & STATX_BTIME) ? FromStatx(info.stx_btime) : data->Times.LastWrite;
  data->Size = S_ISDIR(info.stx_mode) ? 0 : static_cast<std::int64_t>(info.stx_size);
  return 0;
}

}  // namespace platform
