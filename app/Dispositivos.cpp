// Device discovery: one worker per volume, known by its serial, so that a stick that comes
// back under another letter keeps its worker, its queued work and its selection. Every volume
// of the drive table takes part, however many there are.
#include <algorithm>

#include "engine/BuscarPorID.h"
#include "app/UnidadEnAviso.h"
#include "app/RaicesDestinos.h"
#include "app/SinCopiar.h"
#include "app/TPrograma.h"
#include "platform/drive_names.h"
#include "platform/drives.h"

namespace {

struct TRanura {
  bool SinRespuesta = false;  // its probe has not answered: no label, no serial yet
  std::uint32_t Serie = 0;
  std::u16string Nombre;
  std::uint32_t SectorSize = 512;
  std::u16string Letra;
  std::string Montaje;
};

std::u16string NombrePorTipo(std::uint32_t tipo) {
  switch (tipo) {
    case platform::DRIVE_REMOVABLE:
      return u"Disco extraible";
    case platform::DRIVE_FIXED:
      return u"Disco local";
    default:
      return u"Disco remoto";
  }
}

}  // namespace

void TPrograma::ToolButtonActualizarClick() {
  Botones[ToolButtonActualizar].Enabled = false;
  try {
    const int foco = Vista.ItemIndex();
    const std::uint32_t serie_enfocada =
        foco >= 0 && foco < static_cast<int>(DList.size()) ? DList[foco]->GetAppRec().ID : 0;
    for (size_t i = 0; i < DList.size(); ++i) {
      DList[i]->Orden = 0;
      DList[i]->Seleccionado = static_cast<int>(i) < Vista.Count() && Vista.Selected(i);
    }
    Vista.Clear();
    // Rows of sticks pulled during a job go now; their workers were ended then, and a stick
    // that is back gets a new one.
    {
      std::unique_lock<std::shared_mutex> lock(SincronizadorListas);
      std::erase_if(DList, [](const auto& hilo) { return hilo->GetEstado() == TEstado::Quitado; });
    }

    // In the order of the drives' names, which Orden keeps for the rows. The volumes are
    // probed off this thread (TSondeos): only the drive table is read here.
    std::vector<TRanura> ranuras;
    std::uint32_t sector_maximo = 4096;
    auto unidades = Entorno->Env->CurrentDrives();
    std::vector<platform::DriveEntry> usables;
    for (const platform::DriveEntry& unidad : unidades->ListDrives()) {
      const std::uint32_t tipo = unidades->GetDriveType(unidad.MountPoint);
      if (tipo == platform::DRIVE_REMOVABLE || tipo == platform::DRIVE_FIXED ||
          tipo == platform::DRIVE_REMOTE) {
        usables.push_back(unidad);
      }
    }
    const std::vector<TSondeo> sondeos = Sondeos.Sondear(unidades, usables, PlazoSondeo);
    for (std::size_t i = 0; i < usables.size(); ++i) {
      const platform::DriveEntry& unidad = usables[i];
      const TSondeo& sondeo = sondeos[i];
      TRanura ranura;
      ranura.Letra = unidad.Name;
      ranura.Montaje = unidad.MountPoint;
      if (!sondeo.Respondido) {
        ranura.SinRespuesta = true;
        ranura.Nombre = u"Sin respuesta";
        ranuras.push_back(std::move(ranura));
        continue;
      }
      if (!sondeo.Legible) continue;
      ranura.Serie = sondeo.Serie;
      ranura.Nombre = sondeo.Nombre.empty()
                          ? NombrePorTipo(unidades->GetDriveType(unidad.MountPoint))
                          : sondeo.Nombre;
      if (sondeo.SectorSize != 0) {
        ranura.SectorSize = sondeo.SectorSize;
        sector_maximo = std::max(sector_maximo, sondeo.SectorSize);
      }
      ranuras.push_back(std::move(ranura));
    }

    const std::vector<TDHilo*> por_id = ListaPorID();
    for (std::size_t i = 0; i < ranuras.size(); ++i) {
      if (ranuras[i].Serie == 0 && !ranuras[i].SinRespuesta) continue;
      TDHilo* hilo = ranuras[i].SinRespuesta ? nullptr : EncontrarID(por_id, ranuras[i].Serie);
      // A drive without an answer keeps the row it had at the last refresh, and the row of a
      // drive that had none takes its answer when it comes.
      if (hilo == nullptr) hilo = SinRespuesta(DList, ranuras[i].Montaje);
      if (hilo == nullptr) {
        auto nuevo = TDHilo::Create(Entorno);
        if (OCopia) {
          nuevo->SetOD(OCopia);
          nuevo->EsDestino();
        }
        std::unique_lock<std::shared_mutex> lock(SincronizadorListas);
        DList.push_back(nuevo);
        hilo = nuevo.get();
      }
      hilo->Orden = static_cast<std::uint32_t>(i + 1);
      hilo->SetAppRec({ranuras[i].Nombre, ranuras[i].Letra, ranuras[i].Serie,
                       ranuras[i].SectorSize, sector_maximo, ranuras[i].Montaje});
      // A drive that does not answer is not asked for its free space either.
      if (!ranuras[i].SinRespuesta) hilo->GetEspacioLibre();
    }

    // While a probe has not answered, a known drive that was not found may be that one (a
    // stick mounted again elsewhere answers slowly): its worker, work and selection stay, after
    // the rows found, until every probe has answered.
    const bool sin_respuesta = std::any_of(ranuras.begin(), ranuras.end(),
                                           [](const TRanura& r) { return r.SinRespuesta; });
    std::uint32_t orden_aplazado = static_cast<std::uint32_t>(ranuras.size());
    for (size_t i = DList.size(); i-- > 0;) {
      const std::shared_ptr<TDHilo> hilo = DList[i];
      if (hilo->Orden != 0 || hilo == OCopia) continue;
      if (sin_respuesta && hilo->GetAppRec().ID != 0) {
        hilo->Orden = ++orden_aplazado;
        continue;
      }
      // Whoever follows the workers' events hears that the drive is gone.
      hilo->MarcarQuitado();
      if (OCopia) {
        std::unique_lock<std::shared_mutex> lock(SincronizadorListas);
        OCopia->EliminarFiles(hilo->GetId());
        DList.erase(DList.begin() + i);
        OCopia->AgregarEliminarDestino(hilo);
      } else {
        {
          std::unique_lock<std::shared_mutex> lock(SincronizadorListas);
          DList.erase(DList.begin() + i);
        }
        hilo->Terminate();
      }
    }

    {
      std::unique_lock<std::shared_mutex> lock(SincronizadorListas);
      std::sort(DList.begin(), DList.end(),
                [](const auto& a, const auto& b) { return a->Orden < b->Orden; });
    }
    for (size_t i = 0; i < DList.size(); ++i) Vista.Add();
    EnfocarDispositivo(serie_enfocada);
    for (size_t i = 0; i < DList.size(); ++i) Vista.SetSelected(i, DList[i]->Seleccionado);
    Vista.Repaint();
  } catch (...) {
    // The list shows what was found so far; the buttons come back below in every case.
  }
  Botones[ToolButtonActualizar].Enabled = true;
  Botones[ToolButtonCancelar].Enabled = !DList.empty();
}

TDHilo* TPrograma::SinRespuesta(const std::vector<std::shared_ptr<TDHilo>>& lista,
                                const std::string& montaje) {
  for (const auto& hilo : lista) {
    const THRec rec = hilo->GetAppRec();
    if (rec.ID == 0 && rec.Montaje == montaje) return hilo.get();
  }
  return nullptr;
}

void TPrograma::QuitarDesaparecidos() {
  if (!OCopia) return;
  std::shared_ptr<platform::Drives> unidades;
  std::u16string avisos;
  for (const auto& hilo : DList) {
    if (hilo == OCopia) continue;
    const TEstado estado = hilo->GetEstado();
    if (estado != TEstado::EnCola && estado != TEstado::Escribiendo &&
        estado != TEstado::Sincronizando && estado != TEstado::Verificando) {
      continue;
    }
    const THRec unidad = hilo->GetAppRec();
    if (unidad.Montaje.empty()) continue;
    // The table is read once a tick, and only while some stick has work.
    if (!unidades) unidades = Entorno->Env->CurrentDrives();
    if (unidades->GetDriveType(unidad.Montaje) != platform::DRIVE_NO_ROOT_DIR) continue;
    {
      // A drive gone is not looked at: everything it was given and does not hold is named.
      const TRaicesDestinos raices(*Entorno->Env, {}, nullptr);
      if (!avisos.empty()) avisos += u' ';
      avisos += u"Quitado ";
      avisos += UnidadEnAviso(unidad);
      avisos += u": ";
      avisos += SinCopiar(Encargos, raices, unidad.ID);
    }
    hilo->MarcarQuitado();
    std::unique_lock<std::shared_mutex> lock(SincronizadorListas);
    OCopia->EliminarFiles(hilo->GetId());
    OCopia->AgregarEliminarDestino(hilo);
  }
  if (!avisos.empty()) Aviso = avisos;
}

void TPrograma::SondeosRespondidos() {
  if (Sondeos.Respondidos() && ToolbarEnabled && Botones[ToolButtonActualizar].Enabled) {
    ToolButtonActualizarClick();
  }
}

std::vector<TDHilo*> TPrograma::ListaPorID() const {
  std::vector<std::pair<std::uint32_t, TDHilo*>> claves;
  claves.reserve(DList.size());
  // The identity the last refresh gave: a worker adopts it only at the end of its next turn,
  // and a second refresh before that must still find the worker.
  for (const auto& hilo : DList) claves.emplace_back(hilo->GetAppRec().ID, hilo.get());
  std::sort(claves.begin(), claves.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<TDHilo*> lista;
  lista.reserve(claves.size());
  for (const auto& clave : claves) lista.push_back(clave.second);
  return lista;
}

TDHilo* TPrograma::EncontrarID(const std::vector<TDHilo*>& lista, std::uint32_t serial) {
  return BuscarPorID(lista, serial);
}

void TPrograma::EnfocarDispositivo(std::uint32_t serial) {
  Vista.SetItemIndex(Vista.Count() - 1);
  TDHilo* hilo = EncontrarID(ListaPorID(), serial);
  if (hilo == nullptr) return;
  const std::u16string letra = hilo->GetAppRec().Letra;
  int lo = 0, hi = static_cast<int>(DList.size()) - 1;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const std::u16string clave = DList[mid]->GetAppRec().Letra;
    if (platform::DriveNameBefore(clave, letra)) {
      lo = mid + 1;
    } else {
      if (clave == letra) Vista.SetItemIndex(mid);
      hi = mid - 1;
    }
  }
}
