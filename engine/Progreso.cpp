// Progress of a worker: work totals, free space or shortfall, speed and finish time, as numbers
// that the front ends turn into texts.
#include "engine/TDHilo.h"

#include <algorithm>

void TDHilo::OnTime() {
  const std::uint32_t lec = LEC.load();
  if (lec != 0) {
    std::lock_guard<std::mutex> lock(Textos);
    Velocidad = {lec, 0, 0};
    return;
  }
  VRec = VRec->Last;
  // Bytes moved: written, then read back.
  VRec->Pos = DPos.load() + Comprobacion.Pos.load(std::memory_order_relaxed);
  const std::int64_t intervalo = Entorno->IntervaloTimer.load();
  const std::int64_t S = (VRec->Pos - VRec->Last->Pos) * 1000 / (intervalo * 10);
  TVelocidad velocidad;
  if (S != 0) {
    velocidad.BytesSegundo = S;
    velocidad.Termina =
        Entorno->Env->Now() +
        (static_cast<double>(DFin.load() + Comprobacion.Fin.load(std::memory_order_relaxed) -
                             VRec->Pos) / S) / 86400.0;
  }
  std::lock_guard<std::mutex> lock(Textos);
  Velocidad = velocidad;
}

void TDHilo::GetEspacioLibre() {
  std::int64_t libre = 0, total = 0;
  if (Entorno->Env->CurrentDrives()->GetDiskFreeSpaceEx(GetAppRec().Montaje, &libre, &total)) {
    EspacioLibre.store(libre);
  }
  AddDFin(0);
}

void TDHilo::ActualizarCapacidad() {
  {
    auto cambios = DFinList.Bloquear();
    if (!cambios->empty()) {
      std::int64_t fin = DFin.load();
      for (std::int64_t cambio : *cambios) fin += cambio;
      cambios->clear();
      DFin.store(fin);
      TCapacidad capacidad{true, false, EspacioLibre.load()};
      if (!EsLaFuente()) {
        // Past the total (sector rounding) nothing is left to write, and nothing is freed.
        capacidad.Bytes -= std::max<std::int64_t>(0, fin - DPos.load());
        if (capacidad.Bytes < 0) {
          capacidad.Bytes = -capacidad.Bytes;
          capacidad.Faltan = true;
        }
      }
      std::lock_guard<std::mutex> lock(Textos);
      Capacidad = capacidad;
    }
  }
  std::lock_guard<std::mutex> lock(Textos);
  HRec = AppRec;
  HRecVisible = HRec;
}
