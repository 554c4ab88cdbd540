// A file of the program's own at a stick's root (its listing, its manifest). A stick is
// untrusted: only a regular file of a sane size is read, reached from the drive's mount point
// without following links, and only while that folder is still the drive's mount (a stick
// unmounted leaves a bare folder of the system's disk there).
#pragma once

#include <string>

#include "engine/TDHilo.h"
#include "platform/atomic_file.h"
#include "platform/drives.h"

// kMissing for a drive without a mount point or no longer mounted there, as for no such file.
platform::ReadOutcome LeerArchivoDeUnidad(platform::Drives& tabla, const THRec& unidad,
                                          const std::string& nombre, std::string* bytes);
