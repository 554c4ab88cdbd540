// Drag and drop: the first drop chooses the source drive; every drop from it then queues the
// dropped entries for the selected drives that lack them, or, in delete mode, cancels their
// queued copies and deletes them on the selected drives.
#include <algorithm>
#include <exception>

#include "app/ColaBloqueada.h"
#include "app/ModoArrastre.h"
#include "app/Ocupado.h"
#include "app/TPrograma.h"
#include "app/TallaStr.h"
#include "app/TSuspension.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

using TLista = std::deque<std::unique_ptr<TFRec>>;

// The end of every drop that got as far as its work, failed or not: every button back, the
// cancel button as long as there is a drive, and no progress shown.
class TFinArrastre {
 public:
  explicit TFinArrastre(TPrograma& programa) : programa_(programa) {}
  ~TFinArrastre() {
    for (TBoton& boton : programa_.Botones) boton.Enabled = true;
    programa_.Botones[ToolButtonCancelar].Enabled = !programa_.DList.empty();
    programa_.ProgresoTexto.clear();
    programa_.ProgresoValor = 0;
  }
  TFinArrastre(const TFinArrastre&) = delete;
  TFinArrastre& operator=(const TFinArrastre&) = delete;

 private:
  TPrograma& programa_;
};

// One progress point of a loop over destinations and records: at most once per timer interval
// the bar shows `hecho` of `total` and the window gets its pending messages.
void Avanzar(TPrograma& P, std::int64_t hecho, std::int64_t total) {
  if (P.AvanzarProgreso(hecho, total)) P.Refrescar();
}

std::u16string EnUnidad(const std::u16string& texto, const THRec& rec) {
  return texto + rec.Nombre + u"(" + rec.Letra + u":)";
}

// The queue's records in name order, for look-ups by ONombre. The queue keeps owning them,
// which is why this is not an EncontrarFR list; the stable sort keeps the first queued of
// equal names first, as EncontrarFR would find it.
std::vector<TFRec*> PorNombre(const TLista& cola) {
  std::vector<TFRec*> lista;
  lista.reserve(cola.size());
  for (const auto& rec : cola) lista.push_back(rec.get());
  std::stable_sort(lista.begin(), lista.end(), [](const TFRec* a, const TFRec* b) {
    return CompararNombres(a->ONombre, b->ONombre) < 0;
  });
  return lista;
}

TFRec* Buscar(const std::vector<TFRec*>& por_nombre, const std::u16string& nombre) {
  const auto it = std::lower_bound(
      por_nombre.begin(), por_nombre.end(), nombre,
      [](const TFRec* rec, const std::u16string& n) { return CompararNombres(rec->ONombre, n) < 0; });
  return it != por_nombre.end() && CompararNombres((*it)->ONombre, nombre) == 0 ? *it : nullptr;
}

// Records left without a destination leave the queue, and the source's total with them.
void QuitarSinDestinos(TDHilo& origen, TLista& cola) {
  const std::uint32_t sector = origen.GetAppRec().SectorSize;
  std::int64_t quitado = 0;
  std::erase_if(cola, [&](const std::unique_ptr<TFRec>& rec) {
    if (!rec->DList.empty()) return false;
    quitado += rec->DTalla(sector);
    return true;
  });
  if (quitado != 0) origen.AddDFin(-quitado);
}

// Add mode: each dropped entry gets its queue record (a new one, or the one already queued
// under its name) and each destination that has it neither queued, nor named in its listing,
// nor on its drive. What each destination holds is read first, with no lock held and no worker
// stopped, so that the copy goes on and whatever the window does while it gets its messages
// waits on nothing the drop holds; the queue is then locked once, for the merge alone. A failure
// while reading ends add mode silently, with nothing queued.
// What add mode gave out: copies of entries to destinations, and the destinations given any.
struct TAgregados {
  std::int64_t copias = 0;
  std::int64_t destinos = 0;
};

TAgregados AgregarArrastrados(TPrograma& P, const TLista& arrastrados,
                              const std::vector<TDHilo*>& destinos) {
  TAgregados agregados;
  const std::int64_t n = static_cast<std::int64_t>(arrastrados.size());
  const std::int64_t m = static_cast<std::int64_t>(destinos.size());
  std::vector<std::vector<bool>> presentes(destinos.size());
  // Bytes of an older file each copy writes over: its space comes back as the job runs.
  std::vector<std::vector<std::int64_t>> reemplazos(destinos.size());
  try {
    for (std::int64_t d = 0; d < m; ++d) {
      TDHilo& W = *destinos[d];
      const THRec rec = W.GetAppRec();
      P.ProgresoTexto = EnUnidad(u"Comprobando destinos en ", rec);
      P.Refrescar();
      const TLista listado = P.LeerListado(W);
      std::vector<bool>& tiene = presentes[d];
      tiene.resize(arrastrados.size());
      reemplazos[d].assign(arrastrados.size(), 0);
      // Looked at from the stick's root, links not followed: nothing outside it counts.
      platform::Env& env = *P.Entorno->Env;
      const platform::Handle raiz = env.OpenVolumeRoot(rec.Montaje);
      for (std::int64_t r = 0; r < n; ++r) {
        Avanzar(P, n * d + r, m * n);
        const TFRec& D = *arrastrados[r];
        tiene[r] = EncontrarFR(listado, D.ONombre) != nullptr ||
                   ArchivoIgualEn(env, raiz, D.DNombre, D.Tiempo.ETiempo, D.Talla);
        platform::FileAttributeData viejo;
        if (!tiene[r] && !(D.Atributos & platform::FILE_ATTRIBUTE_DIRECTORY) &&
            env.GetFileAttributesExAt(raiz, D.DNombre, &viejo) &&
            !(viejo.Attributes & platform::FILE_ATTRIBUTE_DIRECTORY)) {
          reemplazos[d][r] = RedondearTalla(rec.SectorSize, viejo.Size);
        }
      }
      if (raiz != platform::kInvalidHandle) env.CloseHandle(raiz);
    }
  } catch (...) {
    // Silenced here, in the one place add mode ends on a failure.
    return agregados;
  }
  TColaBloqueada bloqueada(*P.OCopia);
  TLista& cola = *bloqueada;
  const std::vector<TFRec*> encolados = PorNombre(cola);
  const std::uint32_t sector_origen = P.OCopia->GetAppRec().SectorSize;
  std::vector<bool> dados(destinos.size(), false);
  for (std::int64_t r = 0; r < n; ++r) {
    const TFRec& D = *arrastrados[r];
    TFRec* Q = Buscar(encolados, D.ONombre);
    std::vector<std::int64_t> faltan;
    for (std::int64_t d = 0; d < m; ++d) {
      if (!presentes[d][r] && (Q == nullptr || !Q->EncontrarDestino(destinos[d]->GetId()))) {
        faltan.push_back(d);
      }
    }
    if (faltan.empty()) continue;
    if (Q == nullptr) {
      auto nuevo = std::make_unique<TFRec>();
      nuevo->ONombre = D.ONombre;
      nuevo->DNombre = D.DNombre;
      nuevo->Talla = D.Talla;
      nuevo->Atributos = D.Atributos;
      nuevo->Tiempo = D.Tiempo;
      Q = nuevo.get();
      cola.push_back(std::move(nuevo));
      P.OCopia->AddDFin(Q->DTalla(sector_origen));
    }
    for (std::int64_t d : faltan) {
      TDHilo* W = destinos[d];
      const THRec rec = W->GetAppRec();
      Q->DList.push_back(W->GetId());
      W->AddDFin(Q->DTalla(rec.SectorSize), 1);
      P.Encargos.Agregar(*Q, rec.ID);
      if (reemplazos[d][r] > 0) P.SumarReemplazo(*W, reemplazos[d][r]);
      ++agregados.copias;
      dados[d] = true;
    }
  }
  agregados.destinos = std::count(dados.begin(), dados.end(), true);
  return agregados;
}

// Delete mode: the queued copies of the dropped entries to the destinations are cancelled
// (under the queue's lock, nothing else done meanwhile), then the entries are deleted on each
// destination, every entry before its folder, with that destination's worker held stopped. Only
// empty folders go, so a folder that holds entries that were not dropped stays.
void EliminarArrastrados(TPrograma& P, TLista& arrastrados, const std::vector<TDHilo*>& destinos) {
  OrdenarPorNombre(arrastrados);
  P.Refrescar();
  {
    TColaBloqueada bloqueada(*P.OCopia);
    TLista& cola = *bloqueada;
    for (auto it = cola.rbegin(); it != cola.rend(); ++it) {
      TFRec& Q = **it;
      if (EncontrarFR(arrastrados, Q.ONombre) == nullptr) continue;
      for (TDHilo* W : destinos) {
        if (Q.EliminarDestino(W->GetId())) W->AddDFin(-Q.DTalla(W->GetAppRec().SectorSize), -1);
      }
    }
    QuitarSinDestinos(*P.OCopia, cola);
  }
  for (const auto& E : arrastrados) {
    for (TDHilo* W : destinos) P.Encargos.Quitar(E->ONombre, W->GetAppRec().ID);
  }
  P.Refrescar();
  std::stable_sort(arrastrados.begin(), arrastrados.end(), [](const auto& a, const auto& b) {
    return a->ONombre.size() > b->ONombre.size();
  });
  P.Refrescar();

  const std::int64_t n = static_cast<std::int64_t>(arrastrados.size());
  const std::int64_t m = static_cast<std::int64_t>(destinos.size());
  for (std::int64_t d = 0; d < m; ++d) {
    TDHilo& W = *destinos[d];
    const THRec rec = W.GetAppRec();
    P.ProgresoTexto = EnUnidad(u"Eliminando en ", rec);
    TSuspension suspension(W);
    // Reached from the stick's root, links not followed: nothing outside the stick goes.
    platform::Env& env = *P.Entorno->Env;
    const platform::Handle raiz = env.OpenVolumeRoot(rec.Montaje);
    for (std::int64_t r = 0; r < n && raiz != platform::kInvalidHandle; ++r) {
      const TFRec& E = *arrastrados[r];
      // What cannot be deleted stays; the drop has nothing to say about it.
      if (E.Atributos & platform::FILE_ATTRIBUTE_DIRECTORY) {
        env.RemoveDirectoryAt(raiz, E.DNombre);
      } else {
        env.DeleteFileAt(raiz, E.DNombre);
      }
      Avanzar(P, n * d + r, m * n);
    }
    if (raiz != platform::kInvalidHandle) env.CloseHandle(raiz);
  }
}

}  // namespace

void TPrograma::WMDropFiles(const std::vector<std::string>& nombres) {
  if (!ToolbarEnabled) return;
  // The first name decides the drive: one that no drive holds cannot come from the source.
  // Later names that are not on the first one's drive are left out, as only that drive is
  // read. Names are taken through the drive's mount point, as the source worker reads them.
  std::string montaje;
  std::vector<std::u16string> caminos;
  for (std::size_t i = 0; i < nombres.size(); ++i) {
    std::string unidad;
    std::u16string camino;
    if (!platform::ToDrivePath(nombres[i], &unidad, &camino)) {
      if (i == 0) break;
      continue;
    }
    if (i == 0) montaje = unidad;
    if (unidad == montaje) caminos.push_back(std::move(camino));
  }

  TDHilo* hilo = caminos.empty() ? nullptr : EncontrarMontaje(DList, montaje);
  // A drive that has not answered its probe cannot be read from.
  if (hilo != nullptr && hilo->GetAppRec().ID == 0) hilo = nullptr;
  if (hilo != nullptr && !OCopia) {
    const auto it = std::find_if(DList.begin(), DList.end(),
                                 [hilo](const auto& h) { return h.get() == hilo; });
    AsignarOrigen(*it);
  }
  if (OCopia && hilo == OCopia.get()) {
    DListBoxDropFiles(caminos);
    PonerModoAgregar(Botones[ToolButtonSumarRestar]);
    return;
  }
  // Why, below the message: which volume is the source and how another one can be.
  if (OCopia) {
    const THRec rec = OCopia->GetAppRec();
    Aviso = u"Esta copia lee desde " + rec.Nombre + u" (" + rec.Letra +
            u"): arrastre los archivos desde ese volumen. Para copiar desde otro, cierre el "
            u"programa y vuelva a abrirlo.";
  } else {
    Aviso = u"Los archivos no están en ninguna unidad de la lista: si acaba de conectarla, pulse "
            u"Actualizar y vuelva a arrastrarlos.";
  }
  if (MostrarMensaje) MostrarMensaje(u"Origen de copia no valido");
}

void TPrograma::AsignarOrigen(const std::shared_ptr<TDHilo>& DH) {
  OCopia = DH;
  DH->EsOrigen();
  Caption = NombrePrograma() + u" leyendo desde [" + DH->GetAppRec().Nombre + u"]";
  for (const auto& W : DList) {
    if (W == DH) continue;
    // The destination's continuation uses OD on its next turn, which may come at once.
    W->SetOD(DH);
    W->EsDestino();
  }
  Botones[ToolButtonAbrirGuardar].ImageIndex = 3;
  Botones[ToolButtonAbrirGuardar].Hint = u"Guardar";
}

TDHilo* TPrograma::EncontrarMontaje(const std::vector<std::shared_ptr<TDHilo>>& lista,
                                    const std::string& montaje) {
  for (const auto& hilo : lista) {
    if (hilo->GetAppRec().Montaje == montaje) return hilo.get();
  }
  return nullptr;
}

TLista TPrograma::ListarArrastrados(const std::vector<std::u16string>& nombres) {
  TLista lista;
  try {
    for (const std::u16string& N : nombres) {
      // The entry's own name starts after the last backslash below the root: the mount point
      // that names the root may hold backslashes of its own.
      const std::size_t raiz = platform::DriveRootLength(N);
      const std::size_t barra = N.rfind(u'\\');
      const std::size_t carpeta = barra == std::u16string::npos || barra < raiz ? raiz : barra + 1;
      // Without the source's path each entry lands at the destination's root, also when the
      // names come from different folders.
      const std::size_t base = UsarCaminoOrigen ? raiz : carpeta;
      if (N.size() == raiz) {
        // A whole drive dropped: what it holds.
        RecorrerCarpeta(lista, N, base);
        continue;
      }
      platform::FileAttributeData datos;
      if (!Entorno->Env->GetFileAttributesEx(u"\\\\?\\" + N, &datos)) continue;
      platform::FindData W;
      W.Attributes = datos.Attributes;
      W.Times = datos.Times;
      W.Size = datos.Size;
      W.Name = N.substr(carpeta);
      AgregarFR(lista, N, base, W);
    }
  } catch (...) {
    // The scan ends; the records made so far stay.
  }
  return lista;
}

void TPrograma::DListBoxDropFiles(const std::vector<std::u16string>& nombres) {
  // The source and drives in error are no destinations: their items are deselected.
  std::vector<TDHilo*> destinos;
  for (std::size_t i = 0; i < DList.size(); ++i) {
    TDHilo& W = *DList[i];
    const int item = static_cast<int>(i);
    if (item >= Vista.Count()) break;
    // Nor is a drive that has not answered its probe (serial 0), or one that was pulled.
    if (Vista.Selected(item) && (W.EsLaFuente() || W.GetLEC() != 0 || W.GetAppRec().ID == 0 ||
                                 W.GetEstado() == TEstado::Quitado)) {
      Vista.SetSelected(item, false);
    }
    W.Seleccionado = Vista.Selected(item);
    if (W.Seleccionado) destinos.push_back(&W);
  }
  if (destinos.empty()) {
    const THRec rec = OCopia->GetAppRec();
    Aviso = u"Origen: " + rec.Nombre + u" (" + rec.Letra +
            u"). No hay memorias de destino seleccionadas: seleccione una o más y vuelva a "
            u"arrastrar los archivos.";
    return;
  }
  const bool eliminar = ModoEliminar(Botones[ToolButtonSumarRestar]);
  if (!eliminar) EmpezarTrabajos();
  // The check of the destinations shows their free space as it is now, not as the last
  // refresh or job left it.
  for (TDHilo* W : destinos) W->GetEspacioLibre();

  TAgregados agregados;
  std::int64_t entradas = 0;
  std::exception_ptr fallo;
  {
    TBarraOcupada ocupada(*this);
    TFinArrastre fin(*this);
    TLista arrastrados;
    {
      TSuspension suspension(*OCopia);
      arrastrados = ListarArrastrados(nombres);
    }
    entradas = static_cast<std::int64_t>(arrastrados.size());
    Refrescar();
    try {
      if (eliminar) {
        EliminarArrastrados(*this, arrastrados, destinos);
      } else {
        agregados = AgregarArrastrados(*this, arrastrados, destinos);
      }
    } catch (...) {
      // Kept for after the tail: no record may stay queued without a destination.
      fallo = std::current_exception();
      TColaBloqueada cola(*OCopia);
      QuitarSinDestinos(*OCopia, *cola);
    }
    Refrescar();
    for (TDHilo* W : destinos) W->GetEspacioLibre();
    Refrescar();
    arrastrados.clear();
    Refrescar();
  }
  MostrarAvisos();
  if (fallo) std::rethrow_exception(fallo);
  ToolButtonPriorizarClick();
  const std::u16string memorias =
      EnteroStr(static_cast<std::int64_t>(destinos.size())) +
      (destinos.size() == 1 ? u" memoria." : u" memorias.");
  if (eliminar) {
    Aviso = u"Eliminado lo arrastrado en " + memorias;
  } else if (entradas == 0) {
    Aviso = u"Nada que copiar: lo arrastrado no se pudo leer o está vacío.";
  } else if (agregados.copias == 0) {
    Aviso = u"Nada que copiar: las memorias seleccionadas ya tienen lo arrastrado.";
  } else {
    Aviso = u"Copia añadida: " + EnteroStr(agregados.copias) + u" copias para " +
            EnteroStr(agregados.destinos) +
            (agregados.destinos == 1 ? u" memoria." : u" memorias.");
  }
}
