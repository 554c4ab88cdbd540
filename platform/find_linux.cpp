// Folder listings: FindFirstFile, FindNextFile and FindClose over opendir/readdir.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/eintr.h"
#include "platform/errors.h"
#include "platform/file_paths.h"
#include "platform/file_status.h"
#include "platform/find_listing.h"
#include "platform/files.h"
#include "platform/handle_table.h"
#include "platform/paths.h"

namespace platform {
namespace {

// One listing; used by one thread at a time, as its handle is.
class Listing final : public HandleObject {
 public:
  Listing(DIR* folder, bool follow_links) : folder_(folder), follow_links_(follow_links) {}
  ~Listing() override { closedir(folder_); }

  // The next entry, or ERROR_NO_MORE_FILES at the end. Following links, entries are described
  // as what they lead to: a link to a folder is a folder, and a link that leads nowhere (or an
  // entry deleted since it was listed) is passed over.
  ErrorCode Next(FindData* data) {
    for (;;) {
      errno = 0;
      const dirent* entry = readdir(folder_);
      if (!entry) return errno == 0 ? ERROR_NO_MORE_FILES : ErrorFromErrno(errno);
      const char* name = entry->d_name;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      FileAttributeData status;
      const int error =
          StatEntry(dirfd(folder_), name, &status, follow_links_ ? 0 : AT_SYMLINK_NOFOLLOW);
      if (error == ENOENT || error == ELOOP) continue;
      if (error != 0) return ErrorFromErrno(error);
      data->Attributes = status.Attributes;
      data->Times = status.Times;
      data->Size = status.Size;
      data->Name = DecodeName(name);
      return ERROR_SUCCESS;
    }
  }

 private:
  DIR* const folder_;
  const bool follow_links_;
};

Handle FailHandle(ErrorCode code) {
  SetLastError(code);
  return kInvalidHandle;
}

}  // namespace

Handle StartListing(int fd, bool follow_links, FindData* data) {
  DIR* const folder_stream = fdopendir(fd);
  if (!folder_stream) {
    const ErrorCode error = ErrorFromErrno(errno);
    close(fd);
    return FailHandle(error);
  }
  auto listing = std::make_shared<Listing>(folder_stream, follow_links);
  const ErrorCode error = listing->Next(data);
  if (error == ERROR_NO_MORE_FILES) return FailHandle(ERROR_FILE_NOT_FOUND);
  if (error != ERROR_SUCCESS) return FailHandle(error);
  return AddHandle(std::move(listing));
}

Handle FindFirstFile(const std::u16string& pattern, FindData* data) {
  // A drive's root ends in '/' (paths.h), so its pattern is "/media/stick/*".
  if (pattern.size() < 2 || pattern.back() != u'*' ||
      (pattern[pattern.size() - 2] != u'\\' && pattern[pattern.size() - 2] != u'/'))
    return FailHandle(ERROR_INVALID_PARAMETER);
  std::string folder;
  if (!ResolvePath(pattern.substr(0, pattern.size() - 1), &folder)) return kInvalidHandle;
  PathAt at;
  const int fd =
      at.Open(folder) ? RetryOnEintr([&] {
        return openat(at.dir(), at.name(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      })
                      : -1;
  if (fd < 0) {
    // The folder of the pattern is the path here: missing, it is a path not found.
    const ErrorCode error = ErrorFromErrno(errno);
    return FailHandle(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
  }
  return StartListing(fd, true, data);
}

bool FindNextFile(Handle find, FindData* data) {
  std::shared_ptr<Listing> listing = HandleAs<Listing>(find);
  const ErrorCode error = listing ? listing->Next(data) : ERROR_INVALID_HANDLE;
  if (error == ERROR_SUCCESS) return true;
  SetLastError(error);
  return false;
}

bool FindClose(Handle find) {
  if (!HandleAs<Listing>(find) || !RemoveHandle(find)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return true;
}

}  // namespace platform
