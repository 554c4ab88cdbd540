// Files on a destination drive, reached from a handle of its root folder. However a drive's
// contents are laid out (a symbolic link, a FIFO or a device node where a folder or a file is to
// be written, a link to another mount), no call below leaves the drive, follows a link or opens
// anything but a regular file or a folder for writing; and a drive unmounted meanwhile is never
// replaced by the folder it was mounted on. Depth is not limited by the length of a Linux path.
//
// `path` is relative to the root: the program's names separated by backslashes, none empty,
// "." or "..". Every call sets the thread's last error on failure and never throws; a link or
// a name that resolves outside the drive fails with ERROR_CANT_RESOLVE_FILENAME.
#pragma once

#include <cstdint>
#include <string>

#include "platform/completion_port.h"
#include "platform/files.h"
#include "platform/types.h"

namespace platform {

// The root folder of the drive mounted at `mount_point`: ERROR_NOT_READY when that folder is
// not the root of a mount any more (the drive was unmounted). Close it with CloseHandle; while
// it is open the drive cannot be unmounted cleanly, so hold it only while there is work.
Handle OpenVolumeRoot(const std::string& mount_point);

// Creates the folder and every missing folder above it; an existing folder is fine, anything
// else standing there fails.
bool CreateFoldersAt(Handle root, const std::u16string& path);

// Creates a new regular file (disposition CREATE_NEW: an existing entry of any kind fails with
// ERROR_FILE_EXISTS and is left alone) or opens an existing folder or regular file
// (OPEN_EXISTING; FILE_FLAG_BACKUP_SEMANTICS for a folder, for SetFileTime). Flags and the
// returned handle as CreateFile's.
Handle CreateFileAt(Handle root, const std::u16string& path, std::uint32_t access,
                    std::uint32_t disposition, std::uint32_t flags);

// Attributes as SetFileAttributes, of a regular file or a folder only.
bool SetFileAttributesAt(Handle root, const std::u16string& path, std::uint32_t attributes);
// The entry itself, links not followed (a link reads as what it is: no folder, no file).
bool GetFileAttributesExAt(Handle root, const std::u16string& path, FileAttributeData* data);
// Deletes a regular file; a read-only one stays (ERROR_ACCESS_DENIED), a missing one is
// ERROR_FILE_NOT_FOUND.
bool DeleteFileAt(Handle root, const std::u16string& path);
// Deletes an empty folder.
bool RemoveDirectoryAt(Handle root, const std::u16string& path);
// Renames a regular file to `to` in the same drive, replacing a regular file that stands there;
// anything else there fails (a folder, a link, a FIFO...).
bool MoveFileAt(Handle root, const std::u16string& from, const std::u16string& to);
// Lists a folder below the root (path "" for the root itself) as FindFirstFile does, entries
// described as themselves, links not followed.
Handle FindFirstFileAt(Handle root, const std::u16string& path, FindData* data);

// Overlapped: flushes everything written to the drive to its device, on the port the root is
// bound to (BindToPort); the packet reports the first write-back error of the drive since the
// root was opened. False when refused at once (no packet).
bool FlushVolume(Handle root, Overlapped* ov);

// The attributes of an open file or folder, as GetFileAttributesEx; and its own attributes set
// through the handle (READONLY only, as SetFileAttributes).
bool GetFileAttributesByHandle(Handle file, FileAttributeData* data);
bool SetFileAttributesByHandle(Handle file, std::uint32_t attributes);

}  // namespace platform
