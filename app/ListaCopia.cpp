// Copy lists: the work still to do saved to a file, and queued again later with the drives
// recognised by their volume serials, so that a list outlives the letters they had. An opened
// list is checked whole before anything is queued: records that could reach outside a volume
// are refused, sizes and times are taken from the source as it is now, and a list with nothing
// left to do leaves the program as it was.
#include <algorithm>
#include <map>

#include "engine/PlanLista.h"
#include "engine/RegistroCopia.h"
#include "records/ArchivoLista.h"
#include "records/Codificacion.h"
#include "app/ColaBloqueada.h"
#include "app/Ocupado.h"
#include "app/RaicesDestinos.h"
#include "app/TPrograma.h"
#include "app/TallaStr.h"
#include "platform/atomic_file.h"
#include "platform/locale.h"

namespace {

// The end of both commands however they end: no progress shown. An open also gives back the
// buttons of queued work.
class TFinLista {
 public:
  TFinLista(TPrograma& programa, bool abrir) : programa_(programa), abrir_(abrir) {}
  ~TFinLista() {
    programa_.ProgresoValor = 0;
    programa_.ProgresoTexto.clear();
    if (abrir_) {
      programa_.Botones[ToolButtonContinuarDetener].Enabled = true;
      programa_.Botones[ToolButtonPriorizar].Enabled = true;
    }
  }
  TFinLista(const TFinLista&) = delete;
  TFinLista& operator=(const TFinLista&) = delete;

 private:
  TPrograma& programa_;
  const bool abrir_;
};

// A record of the source's queue as the save writes it: its destinations by volume serial.
struct TEnCola {
  TFRec Rec;
  std::vector<std::uint32_t> Series;
};

void EscribirRegistro(std::string& bytes, const TFRec& rec,
                      const std::vector<std::uint32_t>& series) {
  rec.EscribirOrigen(bytes);
  EscribirCadena(bytes, rec.DNombre);
  EscribirEntero(bytes, static_cast<std::int32_t>(series.size()));
  for (std::uint32_t serie : series) EscribirPalabra(bytes, serie);
}

void AvisosDeLista(std::vector<std::u16string>& avisos, const TPlanLista& plan) {
  if (plan.Danada) {
    avisos.push_back(u"La lista de copia esta incompleta o danada: solo se usa lo que se pudo leer.");
  }
  if (plan.Rechazados > 0) {
    avisos.push_back(u"Lista de copia: " + EnteroStr(plan.Rechazados) +
                     u" registros rechazados (un nombre que sale de su volumen, una talla no "
                     u"valida, o un origen que no es archivo ni carpeta).");
  }
  if (plan.Faltantes > 0) {
    std::u16string nombres;
    for (const std::u16string& nombre : plan.PrimerosFaltantes) {
      nombres += (nombres.empty() ? u" " : u", ") + nombre;
    }
    if (plan.Faltantes > static_cast<std::int64_t>(plan.PrimerosFaltantes.size())) nombres += u"...";
    avisos.push_back(u"Lista de copia: " + EnteroStr(plan.Faltantes) +
                     u" archivos ya no estan en el origen:" + nombres);
  }
}

}  // namespace

void TPrograma::ToolButtonAbrirGuardarClick() {
  std::string ruta;
  if (Botones[ToolButtonAbrirGuardar].ImageIndex == 3) {
    // A name once chosen is kept for the rest of the run: later saves write to it again.
    if (RutaListaGuardada.empty()) {
      if (!DialogoGuardar || !DialogoGuardar(&ruta)) return;
      RutaListaGuardada = ruta;
    }
    GuardarLista(RutaListaGuardada);
  } else {
    if (OCopia || !DialogoAbrir || !DialogoAbrir(&ruta)) return;
    AbrirLista(ruta);
  }
}

void TPrograma::GuardarLista(const std::string& ruta) {
  if (!OCopia) return;
  TBarraOcupada ocupada(*this);
  TFinLista fin(*this, false);
  try {
    ProgresoTexto = u"Guardando lista";
    // The queue is copied under its lock and nothing else is done meanwhile: the source's
    // scheduler waits only for the copy.
    std::vector<TEnCola> cola;
    {
      TColaBloqueada bloqueada(*OCopia);
      cola.reserve((*bloqueada).size());
      for (const auto& rec : *bloqueada) {
        TEnCola copia;
        copia.Rec.ONombre = rec->ONombre;
        copia.Rec.DNombre = rec->DNombre;
        copia.Rec.Talla = rec->Talla;
        copia.Rec.Atributos = rec->Atributos;
        copia.Rec.Tiempo = rec->Tiempo;
        // Drives are named by the identity of the last device refresh, the one the sorted
        // worker lists are made from.
        for (TIdDestino id : rec->DList) {
          if (const auto DH = OCopia->Destino(id)) copia.Series.push_back(DH->GetAppRec().ID);
        }
        cola.push_back(std::move(copia));
      }
    }
    std::map<std::u16string, std::size_t, bool (*)(const std::u16string&, const std::u16string&)>
        en_cola([](const std::u16string& a, const std::u16string& b) {
          return CompararNombres(a, b) < 0;
        });
    for (std::size_t i = 0; i < cola.size(); ++i) en_cola.emplace(cola[i].Rec.ONombre, i);
    // The destinations present now, each looked at from a handle of its root.
    const TRaicesDestinos raices(*Entorno->Env, DList, OCopia.get());

    // Work handed over and no longer queued (under way, failed on a stick, or done) is still
    // to do on a destination unless that drive holds the entry now; a drive not present keeps
    // its work.
    std::vector<std::pair<std::u16string, std::uint32_t>> hechos;
    const auto pendiente = [&](const TFRec& rec, std::uint32_t serie) {
      if (!raices.Tiene(rec, serie)) return true;
      hechos.emplace_back(rec.ONombre, serie);
      return false;
    };
    const std::vector<const TEncargos::TEncargo*> encargos = Encargos.Lista();
    const std::int64_t total = static_cast<std::int64_t>(encargos.size() + cola.size());
    std::int64_t hecho = 0, escritos = 0;
    std::string registros;
    for (const TEncargos::TEncargo* encargo : encargos) {
      // Only the bar: nothing else of the window runs during a save.
      if (AvanzarProgreso(hecho++, total) && RepintarMemoria) RepintarMemoria();
      if (en_cola.contains(encargo->Rec.ONombre)) continue;
      std::vector<std::uint32_t> series;
      for (std::uint32_t serie : encargo->Series) {
        if (pendiente(encargo->Rec, serie)) series.push_back(serie);
      }
      if (series.empty()) continue;
      EscribirRegistro(registros, encargo->Rec, series);
      ++escritos;
    }
    // Then the queue, in its order, each record with the destinations it is queued for and
    // those it was handed to before and that do not hold it yet.
    for (TEnCola& queued : cola) {
      if (AvanzarProgreso(hecho++, total) && RepintarMemoria) RepintarMemoria();
      if (const TEncargos::TEncargo* encargo = Encargos.Buscar(queued.Rec.ONombre)) {
        for (std::uint32_t serie : encargo->Series) {
          if (std::find(queued.Series.begin(), queued.Series.end(), serie) == queued.Series.end() &&
              pendiente(queued.Rec, serie)) {
            queued.Series.push_back(serie);
          }
        }
      }
      EscribirRegistro(registros, queued.Rec, queued.Series);
      ++escritos;
    }
    for (const auto& [nombre, serie] : hechos) Encargos.Quitar(nombre, serie);

    std::string bytes;
    EscribirPalabra(bytes, OCopia->GetAppRec().ID);
    EscribirEntero(bytes, static_cast<std::int32_t>(escritos));
    bytes += registros;
    // Replaced atomically: a failure or a crash leaves the previous list whole. Neither a file
    // that cannot be written nor a failure above is reported.
    EscribirArchivoCompleto(ruta, bytes);
    Aviso = (escritos == 0 ? u"La cola está vacía: la lista guardada no tiene nada que copiar ("
                           : u"Lista de copia guardada: " + EnteroStr(escritos) + u" entradas (") +
            platform::FromUtf8(ruta) + u").";
  } catch (...) {
  }
}

void TPrograma::AbrirLista(const std::string& ruta) {
  if (OCopia) return;
  // The open's own work; what it found to say is shown after it, once the busy state is over.
  [&] {
    ProgresoTexto = u"Creando lista";
    TBarraOcupada ocupada(*this);
    TFinLista fin(*this, true);
    try {
      std::string bytes;
      switch (platform::ReadFileBounded(ruta, platform::kMaxOwnFileBytes, &bytes)) {
        case platform::ReadOutcome::kRead:
          break;
        case platform::ReadOutcome::kNotRegular:
        case platform::ReadOutcome::kTooLarge:
          Avisos.push_back(u"La lista de copia no es un archivo normal o es demasiado grande; no se abre.");
          return;
        default:
          return;  // a file that cannot be read ends the open silently
      }
      const TListaCopiaLeida lista = LeerListaCopia(bytes);
      if (!lista.ConOrigen) return;
      // No lock is held while the window gets its messages below: the workers are kept alive
      // by this copy of the list, and the toolbar, disabled, lets no refresh or cancel run.
      const std::vector<std::shared_ptr<TDHilo>> hilos = DList;
      std::vector<TVolumenLista> volumenes;
      for (const auto& hilo : hilos) {
        const THRec rec = hilo->GetAppRec();
        if (rec.ID != 0) volumenes.push_back({rec.ID, rec.Montaje, hilo->GetId()});
      }
      std::stable_sort(volumenes.begin(), volumenes.end(),
                       [](const auto& a, const auto& b) { return a.Serie < b.Serie; });
      TPlanLista plan = PlanearLista(*Entorno->Env, lista, volumenes,
                                     [this](std::int64_t hecho, std::int64_t total) {
                                       if (AvanzarProgreso(hecho, total)) Refrescar();
                                     });
      if (!plan.OrigenPresente) {
        Avisos.push_back(u"Origen de copia no valido");
        return;
      }
      AvisosDeLista(Avisos, plan);
      if (plan.Registros.empty()) {
        // Nothing is chosen: the button still opens.
        Aviso = u"La lista de copia no tiene nada que copiar.";
        Avisos.push_back(Aviso);
        return;
      }
      const auto origen = std::find_if(hilos.begin(), hilos.end(),
                                       [&](const auto& h) { return h->GetId() == plan.IdOrigen; });
      EmpezarTrabajos();
      AsignarOrigen(*origen);
      const std::int64_t entradas = static_cast<std::int64_t>(plan.Registros.size());
      {
        // Every record is complete before it is queued; one lock for all, nothing else done
        // meanwhile. The totals go in before the records: once queued, the scheduler may plan
        // and free them.
        TColaBloqueada cola(*OCopia);
        const std::uint32_t sector = OCopia->GetAppRec().SectorSize;
        for (auto& rec : plan.Registros) {
          AddDFin(*rec, *OCopia);
          OCopia->AddDFin(rec->DTalla(sector));
          for (TIdDestino id : rec->DList) {
            if (const auto DH = OCopia->Destino(id)) Encargos.Agregar(*rec, DH->GetAppRec().ID);
          }
          (*cola).push_back(std::move(rec));
        }
      }
      for (const auto& hilo : hilos) hilo->GetEspacioLibre();
      Aviso = u"Lista de copia abierta: " + EnteroStr(entradas) + u" entradas en cola.";
      Vista.Repaint();
      if (ProcesarMensajes) ProcesarMensajes();
    } catch (...) {
      // Silenced here: what was queued stays queued and the source stays chosen.
    }
  }();
  MostrarAvisos();
}
