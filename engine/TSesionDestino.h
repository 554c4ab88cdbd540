// What a destination worker holds on its drive while it has work: the handle of the drive's
// root that every path is reached from, the handle of the folder the last file was made in or
// read back from (the files of one folder come one after the other, and each is then reached by
// its name alone), the temporary name of the copy under way, and the folders already cleared of
// what an earlier job left behind. The root is let go when the job is on the device, so that the
// drive can be unmounted.
#pragma once

#include <set>
#include <string>

#include "platform/types.h"

struct TSesionDestino {
  platform::Handle Raiz = platform::kInvalidHandle;
  platform::Handle Carpeta = platform::kInvalidHandle;  // reached from Raiz; Raiz itself is not
  std::u16string RutaCarpeta;                           // Carpeta's path below the root
  std::u16string Temporal;  // below the root; empty: no copy open
  // Copies suspended under their temporary names (below the root), to be resumed later in the
  // job.
  std::set<std::u16string> Suspendidos;
  std::set<std::u16string> CarpetasRevisadas;
};
