// The program's own small files: the settings, each stick's listing file and saved copy lists.
// They are written whole and atomically (a temporary file in the same folder, synced, renamed
// over the old one, the folder synced), so that a crash or a pulled stick leaves the old file or
// the new one, never a torn one; and read whole with bounded memory, without following a link
// at the file's own name and without waiting on a FIFO or a device standing there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace platform {

// A folder held open (O_PATH): names below it are opened relative to the handle, so that a
// link or another folder put in its place later is never reached through it. Move-only.
class FolderHandle {
 public:
  FolderHandle() = default;
  // Opens the folder at a Linux path. The path itself is trusted (a mount point from the drive
  // table, the program's own folder): links in it are followed. !ok() with the last error set
  // when it is no folder or cannot be opened.
  explicit FolderHandle(const std::string& linux_path);
  ~FolderHandle();
  FolderHandle(FolderHandle&& other) noexcept;
  FolderHandle& operator=(FolderHandle&& other) noexcept;
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// The largest file the readers below accept: far above any listing, settings file or copy list
// a real drive gives (a listing of four million entries with 60-character names is under
// 512 MiB), and low enough that a hostile file cannot make the program take the machine's
// memory.
inline constexpr std::size_t kMaxOwnFileBytes = std::size_t{1} << 29;  // 512 MiB

// Writes `bytes` as the file `name` (one component, no '/') of the folder: a hidden temporary
// file ("." + name + ".tmp") is created there without following links, written whole and
// synced, renamed over `name` (a link, FIFO or file standing at `name` is replaced, never
// written through), and the folder is synced. False with the last error set on any failure;
// the temporary file is then removed and `name` is as it was before the call (or, when only the
// folder's sync failed, already the new file).
bool WriteFileAtomic(const FolderHandle& folder, const std::string& name, std::string_view bytes);
// The same for a whole Linux path: its folder is opened first.
bool WriteFileAtomic(const std::string& linux_path, std::string_view bytes);

// What a bounded read found.
enum class ReadOutcome : std::uint8_t {
  kRead,         // *bytes holds the whole file
  kMissing,      // nothing of that name
  kNotRegular,   // a link, FIFO, socket, device or folder stands at the name
  kTooLarge,     // larger than max_bytes (or grew past it while read)
  kFailed,       // could not be opened or read (the last error says why)
};

// Reads the regular file `name` (one component) of the folder: opened with O_NOFOLLOW and
// O_NONBLOCK, so that neither a link nor a FIFO is ever followed or waited on, then checked with
// fstat to be a regular file on the folder's own file system of at most max_bytes, and read
// with at most max_bytes of memory. *bytes is set only for kRead.
ReadOutcome ReadFileBounded(const FolderHandle& folder, const std::string& name,
                            std::size_t max_bytes, std::string* bytes);
// A file the user named (a copy list chosen in a dialog): links are followed, since the user
// chose the path, but the file must still be a regular one of at most max_bytes, opened
// without blocking.
ReadOutcome ReadFileBounded(const std::string& linux_path, std::size_t max_bytes,
                            std::string* bytes);

}  // namespace platform
