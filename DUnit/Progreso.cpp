// Progress of a worker: work totals, free space or shortfall, speed and finish time.
#include "DUnit/TDHilo.h"
#include "DUnit/TallaStr.h"
#include "DUnit/TextoError.h"
#include "platform/drives.h"
#include "platform/locale.h"

void TDHilo::OnTime() {
  const std::uint32_t lec = LEC.load();
  if (lec != 0) {
    std::u16string texto = TextoError(lec);
    std::lock_guard<std::mutex> lock(Textos);
    Velocidad = std::move(texto);
    return;
  }
  try {
    VRec = VRec->Last;
    VRec->Pos = DPos.load();
    const std::int64_t intervalo = Entorno->IntervaloTimer.load();
    const std::int64_t S = (VRec->Pos - VRec->Last->Pos) * 1000 / (intervalo * 10);
    std::u16string texto;
    if (S != 0) {
      const double fin = platform::Now() +
                         (static_cast<double>(DFin.load() - VRec->Pos) / S) / 86400.0;
      texto = TallaStr(S) + u"/Seg. Termina " + platform::FormatLongTime(fin);
    }
    std::lock_guard<std::mutex> lock(Textos);
    Velocidad = std::move(texto);
  } catch (...) {
    // The speed text stays as it was until the next tick.
  }
}

void TDHilo::GetEspacioLibre() {
  std::int64_t libre = 0, total = 0;
  if (platform::CurrentDrives()->GetDiskFreeSpaceEx(GetAppRec().Letra, &libre, &total)) {
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
      std::u16string texto = u" Libre ";
      std::int64_t V = EspacioLibre.load();
      if (!EsLaFuente()) {
        V = V - (fin - DPos.load());
        if (V < 0) {
          V = -V;
          texto = u" Faltan ";
        }
      }
      texto += TallaStr(V);
      std::lock_guard<std::mutex> lock(Textos);
      Capacidad = std::move(texto);
    }
  }
  std::lock_guard<std::mutex> lock(Textos);
  HRec = AppRec;
  HRecVisible = HRec;
}
