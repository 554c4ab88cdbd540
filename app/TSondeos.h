// The probes of a device refresh (a volume's label, serial and sector size) run off the window
// thread, with a deadline: a stick that does not answer its reads (libblkid reads the device)
// leaves its row "sin respuesta" instead of holding the window, and fills it when its answer
// comes. At most one probe per drive is under way at a time, so a stick that never answers
// holds one thread, not one per refresh.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/drives.h"

struct TSondeo {
  bool Respondido = false;  // false: no answer yet, and none from an earlier refresh
  bool Legible = false;     // the volume could be read (GetVolumeInformation)
  std::u16string Nombre;
  std::uint32_t Serie = 0;
  std::uint32_t SectorSize = 0;  // 0 when it could not be read
};

class TSondeos {
 public:
  TSondeos();
  ~TSondeos();
  TSondeos(const TSondeos&) = delete;
  TSondeos& operator=(const TSondeos&) = delete;

  // Main thread. Probes each drive of `unidades` (one thread each, unless its last probe is
  // still under way) and waits until every probe has answered or `plazo` has passed. A drive
  // whose probe has not answered by then gets its last answer from an earlier refresh, or none
  // (Respondido false). Results are in the order of `unidades`.
  std::vector<TSondeo> Sondear(const std::shared_ptr<platform::Drives>& tabla,
                               const std::vector<platform::DriveEntry>& unidades,
                               std::chrono::milliseconds plazo);
  // Main thread: true, once, after a probe that had given no answer to its refresh has answered.
  bool Respondidos();

 private:
  struct TEstado;
  std::shared_ptr<TEstado> estado_;  // shared with the probes' threads, which may outlive this
};
