// A file of the program's own at a stick's root (its listing, its manifest). A stick is
// untrusted: only a regular file of a sane size is read, reached from the drive's mount point
// without following links, and only while that folder is still the drive's mount (a stick
// unmounted leaves a bare folder of the system's disk there).
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "engine/TDHilo.h"
#include "platform/atomic_file.h"
#include "platform/drives.h"

// kMissing for a drive without a mount point or no longer mounted there, as for no such file.
// Waits at most `plazo`: a stick that does not answer by then reads as kFailed, and holds a
// thread of its own until it answers, not the caller.
platform::ReadOutcome LeerArchivoDeUnidad(const std::shared_ptr<platform::Drives>& tabla,
                                          const THRec& unidad, const std::string& nombre,
                                          std::chrono::milliseconds plazo, std::string* bytes);
