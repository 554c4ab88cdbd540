// The attributes, times and size of a file as the program sees them.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/files.h"

namespace platform {

// Folders are FILE_ATTRIBUTE_DIRECTORY only: their write bits stay as they are, since a
// read-only folder on Linux would refuse the files copied into it. Files are READONLY when the
// owner may not write them, else ARCHIVE.
std::uint32_t AttributesFromMode(mode_t mode);

// Reads the entry `name` relative to the folder `folder_fd` (AT_FDCWD for a full path),
// following symbolic links unless `flags` holds AT_SYMLINK_NOFOLLOW (AT_EMPTY_PATH with "" reads
// folder_fd itself). The creation time is the file system's birth time where it keeps one,
// else the last write time. Returns 0 or the errno of the failure.
int StatEntry(int folder_fd, const char* name, FileAttributeData* data, int flags = 0);

}  // namespace platform
