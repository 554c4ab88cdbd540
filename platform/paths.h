// The program's names are UTF-16; Linux names are bytes. Bytes that are not valid UTF-8 map to
// the lone surrogates U+DC80..U+DCFF and back, and a backslash inside a name to U+DC5C, so every
// name round-trips exactly and none holds the program's separator.
//
// A program path names its drive in one of two ways, each optionally after the "\\?\" prefix:
//
//   "/media/stick/dir\file"  A folder named directly: up to and including its last '/' it is
//                            the Linux path of a folder (a drive's mount point), its bytes
//                            decoded like names; after it come the program's names separated by
//                            backslashes. A drive's root is its mount point with a '/' at the
//                            end (DriveRootPath), and the engine builds every path on a drive
//                            by appending a name relative to that root. No drive table is
//                            consulted, so these paths hold for any number of drives, and a
//                            mount point that holds a backslash still works: names never hold
//                            a '/', so the last one marks where the program's names begin.
//   "E:\dir\file"            A drive's name, for the user's eyes (and the paths users type):
//                            the drive table gives its mount point. Names are one or more
//                            letters, case ignored ("AB:\x").
#pragma once

#include <cstddef>
#include <string>

#include "platform/types.h"

namespace platform {

std::u16string DecodeName(const std::string& bytes);
// False for text that has no byte form (a lone surrogate outside U+DC80..U+DCFF).
bool EncodeName(const std::u16string& name, std::string* bytes);

// A program path to its Linux path. False with ERROR_INVALID_NAME for a malformed path or a
// name without byte form, ERROR_PATH_NOT_FOUND for a drive name not in the table. Never
// truncates.
bool ToLinuxPath(const std::u16string& path, std::string* linux_path, ErrorCode* error);

// The program path of a drive's root, from its mount point: "/media/stick/" (and "/" for the
// root itself). Empty for an empty mount point: a worker without a drive has no paths, and
// every file call refuses an empty one.
std::u16string DriveRootPath(const std::string& mount_point);

// How many leading characters of a program path name its drive's root: "\\?\", "E:\" or the
// mount point through its last '/'. 0 for a path that names no drive.
std::size_t DriveRootLength(const std::u16string& path);

// A Linux path (a dropped file, say) to its program path below the root of the drive whose
// mount point holds it (the longest), and that mount point. False when no drive holds it.
bool ToDrivePath(const std::string& linux_path, std::string* mount_point, std::u16string* path);

// The same path written with the drive's name, "X:\a\b", as the user reads it.
bool ToProgramPath(const std::string& linux_path, std::u16string* path);

}  // namespace platform
