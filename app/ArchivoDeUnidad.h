// A file of the program's own at a stick's root (its listing, its manifest). A stick is
// untrusted: only a regular file of a sane size is read, reached from the drive's mount point
// without following links, and only while that folder is still the drive's mount (a stick
// unmounted leaves a bare folder of the system's disk there). The read runs on a thread of its
// own: a stick that does not answer holds that thread, not the caller, who waits for it only
// until a deadline.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "app/ConPlazo.h"
#include "engine/TDHilo.h"
#include "platform/atomic_file.h"
#include "platform/drives.h"

struct TLecturaUnidad {
  platform::ReadOutcome Resultado = platform::ReadOutcome::kFailed;
  std::string Bytes;  // with kRead
};

// Starts the read; several started one after the other are under way side by side.
TEnCurso<TLecturaUnidad> LanzarLecturaDeUnidad(const std::shared_ptr<platform::Drives>& tabla,
                                               const THRec& unidad, const std::string& nombre);
// The read's outcome: kMissing for a drive without a mount point or no longer mounted there, as
// for no such file; kFailed for a stick that has not answered by `hasta`.
platform::ReadOutcome EsperarLectura(TEnCurso<TLecturaUnidad>& lectura,
                                     std::chrono::steady_clock::time_point hasta,
                                     std::string* bytes);
// Both, waiting at most `plazo`.
platform::ReadOutcome LeerArchivoDeUnidad(const std::shared_ptr<platform::Drives>& tabla,
                                          const THRec& unidad, const std::string& nombre,
                                          std::chrono::milliseconds plazo, std::string* bytes);
