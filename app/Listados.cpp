// The folder scan that turns a folder tree into file records, and the listing file of each
// drive: every entry the drive has ever held, with the size and times it was first listed with.
#include <algorithm>
#include <iterator>

#include "app/ArchivoDeUnidad.h"
#include "app/TallaStr.h"
#include "records/Listado.h"
#include "app/UnidadEnAviso.h"
#include "app/Ocupado.h"
#include "app/TPrograma.h"
#include "engine/Manifiesto.h"
#include "app/TSuspension.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"

namespace {

// The listing file's own name, at the root of every drive.
std::string NombreListado() {
  std::string nombre;
  platform::EncodeName(NombrePrograma() + u".lst", &nombre);
  return nombre;
}

// One folder of the scan's descent path, left when the folder's scan ends however it ends.
class TDentroDe {
 public:
  TDentroDe(std::vector<platform::FileIdentity>& camino, const platform::FileIdentity& carpeta)
      : camino_(camino) {
    camino_.push_back(carpeta);
  }
  ~TDentroDe() { camino_.pop_back(); }
  TDentroDe(const TDentroDe&) = delete;
  TDentroDe& operator=(const TDentroDe&) = delete;

 private:
  std::vector<platform::FileIdentity>& camino_;
};

// A folder listing, closed however the scan of its folder ends.
class TBusqueda {
 public:
  TBusqueda(platform::Env& env, platform::Handle handle) : env_(env), handle_(handle) {}
  ~TBusqueda() {
    if (handle_ != platform::kInvalidHandle) env_.FindClose(handle_);
  }
  TBusqueda(const TBusqueda&) = delete;
  TBusqueda& operator=(const TBusqueda&) = delete;
  platform::Handle get() const { return handle_; }

 private:
  platform::Env& env_;
  const platform::Handle handle_;
};

}  // namespace

void TPrograma::RecorrerCarpeta(std::deque<std::unique_ptr<TFRec>>& lista,
                                const std::u16string& F, std::size_t base) {
  // Links to folders are followed; one that leads back into a folder the scan is inside of
  // would nest without end, so the scan stops there. Two links to one folder elsewhere are
  // both scanned.
  platform::FileIdentity carpeta;
  if (!platform::GetFileIdentity(u"\\\\?\\" + F, &carpeta) ||
      std::find(CarpetasEnCurso.begin(), CarpetasEnCurso.end(), carpeta) !=
          CarpetasEnCurso.end()) {
    return;
  }
  // A listing scans its own stick only: a link there to a folder of another volume (the
  // system's root, say) is listed by its name and not descended into.
  if (VolumenListado && carpeta.Device != *VolumenListado) return;
  TDentroDe dentro(CarpetasEnCurso, carpeta);
  platform::FindData W;
  // A folder that cannot be listed adds nothing below it.
  platform::Env& env = *Entorno->Env;
  const TBusqueda busqueda(env, env.FindFirstFile(u"\\\\?\\" + F + u"*", &W));
  if (busqueda.get() == platform::kInvalidHandle) return;
  do {
    AgregarFR(lista, F + W.Name, base, W);
  } while (env.FindNextFile(busqueda.get(), &W));
}

void TPrograma::AgregarFR(std::deque<std::unique_ptr<TFRec>>& lista, const std::u16string& P,
                          std::size_t base, const platform::FindData& W) {
  if (W.Name == u"." || W.Name == u"..") return;
  auto rec = std::make_unique<TFRec>();
  rec->ONombre = P.substr(std::min(platform::DriveRootLength(P), P.size()));
  // The checksum file a verified job left is the program's, no user data to copy or list.
  if (EsManifiesto(rec->ONombre)) return;
  rec->DNombre = P.substr(std::min(base, P.size()));
  rec->Talla = W.Size;
  rec->Atributos = W.Attributes;
  rec->Tiempo = {W.Times.Creation, W.Times.LastAccess, W.Times.LastWrite};
  const bool carpeta = (rec->Atributos & platform::FILE_ATTRIBUTE_DIRECTORY) != 0;
  lista.push_back(std::move(rec));
  if (ProgresoPendiente()) {
    ProgresoTexto = u"Creando lista " + EnteroStr(static_cast<std::int64_t>(lista.size()));
    Refrescar();
  }
  if (carpeta) RecorrerCarpeta(lista, P + u"\\", base);
}

void TPrograma::CrearListado(TDHilo& DH) {
  const THRec unidad = DH.GetAppRec();
  const TSuspension suspension(DH);
  struct TProgresoAlFinal {
    TPrograma& programa;
    ~TProgresoAlFinal() {
      programa.ProgresoTexto.clear();
      programa.ProgresoValor = 0;
    }
  } const progreso{*this};

  std::deque<std::unique_ptr<TFRec>> S;
  const std::u16string raiz = CaminoUnidad(unidad.Montaje, u"");
  {
    platform::FileIdentity volumen;
    if (platform::GetFileIdentity(u"\\\\?\\" + raiz, &volumen)) VolumenListado = volumen.Device;
    struct TFinVolumen {
      std::optional<std::uint64_t>& volumen;
      ~TFinVolumen() { volumen.reset(); }
    } const fin{VolumenListado};
    RecorrerCarpeta(S, raiz, raiz.size());
  }
  ProgresoTexto = u"Leyendo listado en " + unidad.Nombre;
  std::deque<std::unique_ptr<TFRec>> O = LeerListado(DH);
  if (O.empty()) {
    OrdenarPorNombre(S);
    GuardarListado(DH, S);
    return;
  }
  // Listings are written sorted; sorting what was read keeps the search right for one that
  // is not.
  OrdenarPorNombre(O);
  // Only names of the old listing are searched: what it holds keeps its stored size, times
  // and attributes.
  std::deque<std::unique_ptr<TFRec>> nuevos;
  for (auto it = S.rbegin(); it != S.rend(); ++it) {
    if (EncontrarFR(O, (*it)->ONombre) == nullptr) nuevos.push_back(std::move(*it));
  }
  std::move(nuevos.begin(), nuevos.end(), std::back_inserter(O));
  OrdenarPorNombre(O);
  GuardarListado(DH, O);
}

void TPrograma::GuardarListado(TDHilo& DH, const std::deque<std::unique_ptr<TFRec>>& L) {
  const THRec unidad = DH.GetAppRec();
  ProgresoTexto = u"Guardando listado en " + unidad.Nombre;
  std::string bytes;
  EscribirEntero(bytes, FileAppVersion);
  EscribirEntero(bytes, static_cast<std::int32_t>(L.size()));
  for (std::size_t i = 0; i < L.size(); ++i) {
    L[i]->EscribirOrigen(bytes);
    if (ProgresoPendiente()) {
      ProgresoValor = static_cast<std::int32_t>(static_cast<std::int64_t>(AnchoBarraMemoria) *
                                                static_cast<std::int64_t>(i + 1) /
                                                static_cast<std::int64_t>(L.size()));
      Refrescar();
    }
  }
  // Written through a handle of the drive's root and renamed into place, so that nothing
  // standing at the listing's name (a link out of the drive, a FIFO) is written through, and a
  // pulled stick keeps its old listing whole. A drive that refuses the file (read-only, full)
  // keeps what it had; nothing is shown.
  // A stick unmounted meanwhile leaves a bare folder of the system's disk at its mount point:
  // nothing is written there.
  if (unidad.Montaje.empty()) return;
  const platform::FolderHandle raiz(unidad.Montaje);
  if (raiz.ok() && Entorno->Env->CurrentDrives()->IsMountedFolder(unidad.Montaje, raiz.fd())) {
    platform::WriteFileAtomic(raiz, NombreListado(), bytes);
  }
}

std::deque<std::unique_ptr<TFRec>> TPrograma::LeerListado(TDHilo& DH) {
  // No listing, or one that cannot be read, counts as an empty one. Only a regular file of a
  // sane size is read: a link, a FIFO or a device at the listing's name, or a huge file, is
  // ignored and said so.
  const THRec unidad = DH.GetAppRec();
  std::string bytes;
  switch (LeerArchivoDeUnidad(Entorno->Env->CurrentDrives(), unidad, NombreListado(),
                              std::chrono::milliseconds(Entorno->TiempoError.load()), &bytes)) {
    case platform::ReadOutcome::kRead:
      return LeerListadoBytes(bytes, FileAppVersion);
    case platform::ReadOutcome::kNotRegular:
      Avisos.push_back(u"El listado de " + UnidadEnAviso(unidad) +
                       u" no es un archivo normal (un enlace, una FIFO o un dispositivo); no se usa.");
      return {};
    case platform::ReadOutcome::kTooLarge:
      Avisos.push_back(u"El listado de " + UnidadEnAviso(unidad) + u" es demasiado grande; no se usa.");
      return {};
    case platform::ReadOutcome::kFailed:
      Avisos.push_back(u"El listado de " + UnidadEnAviso(unidad) + u" no se puede leer; no se usa.");
      return {};
    case platform::ReadOutcome::kMissing:
      break;
  }
  return {};
}

void TPrograma::ToolButtonListarClick() {
  {
    const TBarraOcupada ocupado(*this);
    try {
      for (std::size_t i = 0; i < DList.size() && static_cast<int>(i) < Vista.Count(); ++i) {
        if (!Vista.Selected(static_cast<int>(i))) continue;
        const std::shared_ptr<TDHilo> DH = DList[i];
        if (DH->GetAppRec().ID == 0) continue;  // its probe has not answered
        CrearListado(*DH);
      }
    } catch (...) {
      // The listings made so far stay; the command ends here, silently, and gives the toolbar
      // and the cursor back.
    }
  }
  MostrarAvisos();
}
