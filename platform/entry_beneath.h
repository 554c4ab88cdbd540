// Looking at an entry named by a list (a copy list's source name) without leaving its volume:
// the name is resolved from a handle of the volume's root, never above it and never into
// another mount, whatever links the volume holds.
#pragma once

#include <string>

#include "platform/files.h"

namespace platform {

// The attributes, times and size of the entry `relative` (program names separated by
// backslashes, as records hold them) below the folder `root` (a drive's mount point). Links
// inside the volume are followed; a link or a ".." that leads above `root`, or a path that
// crosses into another mount, fails with ERROR_ACCESS_DENIED, and so does an entry that is
// neither a regular file nor a folder (a FIFO, a socket, a device). False with the last error set on
// any failure (ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND for an entry that is not there).
bool GetFileAttributesBeneath(const std::string& root, const std::u16string& relative,
                              FileAttributeData* data);

}  // namespace platform
