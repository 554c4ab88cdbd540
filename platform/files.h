// Files and folders. Paths are the program's UTF-16 paths: "/media/stick/dir\file", through the
// mount point it names, or "X:\dir\file" by a drive's name (paths.h). Every call that fails
// returns its failure value and sets the thread's last error (errors.h); none throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/completion_port.h"
#include "platform/types.h"

namespace platform {

// CreateFile access, share, disposition and flag values (the Windows ones).
inline constexpr std::uint32_t GENERIC_READ = 0x80000000;
inline constexpr std::uint32_t GENERIC_WRITE = 0x40000000;
inline constexpr std::uint32_t FILE_SHARE_READ = 0x1;
inline constexpr std::uint32_t FILE_SHARE_WRITE = 0x2;
inline constexpr std::uint32_t CREATE_NEW = 1;
inline constexpr std::uint32_t CREATE_ALWAYS = 2;
inline constexpr std::uint32_t OPEN_EXISTING = 3;
inline constexpr std::uint32_t OPEN_ALWAYS = 4;
inline constexpr std::uint32_t FILE_FLAG_OVERLAPPED = 0x40000000;
inline constexpr std::uint32_t FILE_FLAG_NO_BUFFERING = 0x20000000;
inline constexpr std::uint32_t FILE_FLAG_RANDOM_ACCESS = 0x10000000;
inline constexpr std::uint32_t FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
inline constexpr std::uint32_t FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;
inline constexpr std::uint32_t FILE_FLAG_POSIX_SEMANTICS = 0x01000000;

struct FileAttributeData {
  std::uint32_t Attributes = 0;
  FileTimes Times;
  std::int64_t Size = 0;
};

struct FindData {
  std::uint32_t Attributes = 0;
  FileTimes Times;
  std::int64_t Size = 0;
  std::u16string Name;  // the entry's own name, no folder
};

// Opens or creates a file (or, with FILE_FLAG_BACKUP_SEMANTICS, a folder, for SetFileTime).
// FILE_FLAG_NO_BUFFERING opens with O_DIRECT where the file system allows it, buffered
// otherwise. Share mode 0 on a file opened for writing takes an exclusive lock; a file so held
// cannot be opened again (ERROR_SHARING_VIOLATION). Returns kInvalidHandle on failure.
Handle CreateFile(const std::u16string& path, std::uint32_t access, std::uint32_t share,
                  std::uint32_t disposition, std::uint32_t flags);

// Closes a handle of CreateFile or FindFirstFile. A transfer still under way keeps the file
// open until it ends; the handle is dead at once.
bool CloseHandle(Handle handle);

// Cancels the transfers of this handle that have not started yet; each posts a failed packet
// (ERROR_OPERATION_ABORTED).
bool CancelIo(Handle handle);

// Binds a file to a port: its overlapped transfers report there, with the file's handle as the
// packet's Key. A file bound to a port that still exists cannot be bound to another.
bool BindToPort(Handle file, const PortPtr& port);

// Overlapped transfer of `bytes` at the offset in *ov. True when the transfer was queued (it
// reports its end as one packet on the bound port); false when it was refused at once (no
// packet). The buffer and *ov must stay valid until the packet is taken or the port's wait
// has timed out.
bool ReadFile(Handle file, void* buffer, std::uint32_t bytes, Overlapped* ov);
bool WriteFile(Handle file, const void* buffer, std::uint32_t bytes, Overlapped* ov);

// Moves the file pointer to `position` from the start; SetEndOfFile cuts or extends the file
// there.
bool SetFilePointer(Handle file, std::int64_t position);
bool SetEndOfFile(Handle file);

// Sets the given times; a zero time is left unchanged. The creation time cannot be set on Linux
// and is ignored.
bool SetFileTime(Handle file, FileTime creation, FileTime last_access, FileTime last_write);

// INVALID_FILE_ATTRIBUTES on failure.
std::uint32_t GetFileAttributes(const std::u16string& path);
bool GetFileAttributesEx(const std::u16string& path, FileAttributeData* data);
// READONLY clears every write bit; its absence gives the owner write permission back.
bool SetFileAttributes(const std::u16string& path, std::uint32_t attributes);

// A read-only file is not deleted (ERROR_ACCESS_DENIED).
bool DeleteFile(const std::u16string& path);
bool RemoveDirectory(const std::u16string& path);
// Creates the folder and every missing folder above it; true when it exists afterwards.
bool ForceDirectories(const std::u16string& path);

// Lists a folder: `pattern` is a folder path followed by "\*" ("*" after a drive's root, which
// ends in '/'). "." and ".." are not returned. FindFirstFile returns kInvalidHandle
// (ERROR_FILE_NOT_FOUND for an empty folder); FindNextFile returns false with
// ERROR_NO_MORE_FILES at the end.
Handle FindFirstFile(const std::u16string& pattern, FindData* data);
bool FindNextFile(Handle find, FindData* data);
bool FindClose(Handle find);

// What a path leads to, links followed: two paths reach the same file or folder exactly when
// their identities are equal (a folder scan recognises a link back into itself by it).
struct FileIdentity {
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  bool operator==(const FileIdentity&) const = default;
};
// False with the last error set when the path leads nowhere (missing, a dangling link).
bool GetFileIdentity(const std::u16string& path, FileIdentity* identity);

// Fault injection for tests: called by a port's transfer thread before every transfer, with
// the Linux path, offset and size. It may block (a device that never answers) or return an
// error code that the transfer then reports instead of doing the I/O (0 = go on).
class TransferHook {
 public:
  virtual ~TransferHook() = default;
  virtual ErrorCode BeforeTransfer(const std::string& linux_path, std::int64_t offset,
                                   std::uint32_t bytes, bool is_write) = 0;
};
// nullptr removes the hook. The hook must outlive every transfer that may call it.
void SetTransferHook(TransferHook* hook);

}  // namespace platform
