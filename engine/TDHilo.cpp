// Construction, the loop, the roles, failures and the queue helpers of a device worker.
#include "engine/TDHilo.h"

#include <algorithm>
#include <chrono>
#include <typeinfo>

#include "engine/OperacionesDestino.h"
#include "engine/OperacionesOrigen.h"
#include "engine/Planificacion.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace {

constexpr char16_t kLetraSinUnidad = 0x85;
constexpr int kMuestrasVelocidad = 11;

std::unique_ptr<TEspera> NuevaEspera() { return std::make_unique<TEspera>(); }

// Where a file operation's chain began: the bytes its destinations already had (0 for a copy
// made anew and for any other operation).
std::int64_t DesdeDe(const TEspera& op) {
  const auto* archivo = dynamic_cast<const TAbrirArchivo*>(&op);
  return archivo ? archivo->Desde : 0;
}

TIdDestino NuevoId() {
  static std::atomic<TIdDestino> ultimo{0};
  return ultimo.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace

std::shared_ptr<TDHilo> TDHilo::Create(std::shared_ptr<TEntorno> entorno) {
  std::shared_ptr<TDHilo> hilo(new TDHilo(std::move(entorno)));
  // The thread holds the worker until its loop has ended and Destroy has run.
  platform::StartThread([hilo] {
    hilo->Execute();
    hilo->Destroy();
  });
  return hilo;
}

TDHilo::TDHilo(std::shared_ptr<TEntorno> entorno)
    : Id(NuevoId()), Entorno(std::move(entorno)) {
  HRec.Letra = std::u16string(1, kLetraSinUnidad);
  HRec.SectorSize = 512;
  HRec.MaxSectorSize = 512;
  AppRec = HRec;
  HRecVisible = HRec;
  IOCP = Entorno->Env->CreatePort();
  IOLast = NuevaEspera();
  IONext = NuevaEspera();
  IOError = NuevaEspera();
  // A ring of samples: one node pointing at itself, then each new node inserted after the first.
  VRec = new TVRec;
  VRec->Last = VRec;
  for (int i = 1; i < kMuestrasVelocidad; ++i) VRec->Last = new TVRec{0, VRec->Last};
  // Key -1 marks the packet that makes the first turn run at once.
  IOCP->Post(0, -1, nullptr);
}

TDHilo::~TDHilo() {
  TVRec* node = VRec->Last;
  while (node != VRec) {
    TVRec* next = node->Last;
    delete node;
    node = next;
  }
  delete VRec;
}

void TDHilo::Execute() {
  LEC = 0;
  platform::SetLastError(0);
  while (!Hilo.Terminated()) {
    Hilo.PausePoint();
    if (Hilo.Terminated()) break;
    const bool en_error = LEC.load() != 0 && !EsLaFuente();
    if (!en_error) {
      platform::CompletionPacket packet{};
      const auto inicio = std::chrono::steady_clock::now();
      bool hecho = IOCP->Take(IOLast->Plazo(*Entorno->Env, Entorno->TiempoError.load()), &packet);
      // A transfer that moved less than it had to is no success, whatever the packet says.
      const std::int64_t esperados = IOLast->BytesEsperados();
      if (hecho && esperados >= 0 && packet.Bytes < esperados) {
        platform::SetLastError(IOLast->ErrorCorta());
        hecho = false;
      }
      if (hecho) {
        if (dynamic_cast<const TSincronizar*>(IOLast.get()) != nullptr) FinSincronizacion();
        if (IOLast->CierraRegistro()) ++RegistrosHechos;
        if (const THuella* huella = IOLast->HuellaCopia()) RecibirArchivo(*IOLast, *huella);
        TContextoIO contexto{*Entorno->Env, *IOCP, HRec.SectorSize, HRec.Montaje, IOFile, Sesion};
        IONext->ExeIO(contexto);
        IOLast->OnExeIO();
        DPos.store(DPos.load() + IOLast->BufBytes);
        if (IOLast->BufBytes != 0) LEC = 0;
      } else {
        // The failed operation is shown before the error is, so that a reader who sees the
        // error also sees what failed.
        IOError->FPos = IOLast->FPos;
        IOError->FTalla = IOLast->FTalla;
        IOError->ONombre = IOLast->ONombre;
        IOError->DNombre = IOLast->DNombre;
        IOError->FStr = IOLast->FStr;
        {
          std::lock_guard<std::mutex> lock(Textos);
          MuestraError = {IOError->ONombre, IOError->DNombre, IOError->FStr, IOError->FPos,
                          IOError->FTalla};
        }
        if (LEC.load() == 0) {
          const platform::ErrorCode code = platform::GetLastError();
          LEC = code != 0 ? code : platform::ERROR_GEN_FAILURE;
        }
        try {
          if (EsLaFuente()) {
            ErrorOrigen();
          } else {
            ErrorDestino();
          }
        } catch (...) {
          // The worker goes on: its error shows and the next turns pass its work through.
        }
        platform::MessageBeep(platform::MB_ICONASTERISK);
        // A source file refused before any transfer (missing, unreadable) is retried after the
        // time a silent device would take, not in a tight loop while it is the only one left.
        if (EsLaFuente() && packet.Ov == nullptr) {
          const auto pasado = std::chrono::duration_cast<std::chrono::milliseconds>(
              std::chrono::steady_clock::now() - inicio);
          const std::int64_t resto = Entorno->TiempoError.load() - pasado.count();
          if (resto > 0) Hilo.Sleep(static_cast<unsigned>(resto));
        }
      }
      Continuar();
    } else {
      // In error a destination neither waits nor starts anything: it passes its queue through
      // one operation per turn, and rests when nothing is left.
      const bool vacia = IOList.Bloquear()->empty();
      Continuar();
      if (vacia) Hilo.Sleep(200);
    }
    PublicarMuestra();
    Vueltas.fetch_add(1, std::memory_order_relaxed);
  }
}

void TDHilo::Destroy() {
  // A transfer still under way must not complete into the operations destroyed below.
  IOCP->AbandonTransfers();
  try {
    // Whatever was handed over to be ended is ended, and neither that list nor the table keeps a
    // destination: the destinations hold their source alive, so the source must not hold them.
    EliminarDestinos();
    Destinos.Vaciar();
    IOLast.reset();
    IONext.reset();
    IOError.reset();
    LiberarIOList.Bloquear()->clear();
    {
      auto cola = IOList.Bloquear();
      cola->clear();
      CacheEnCola.store(0);
    }
    // A copy left unfinished (a cancel, a drive left, the program closing) is deleted.
    AbandonarSesion(*Entorno->Env, IOFile, Sesion);
    FList.Bloquear()->clear();
    DFinList.Bloquear()->clear();
  } catch (...) {
    // Ending must not fail: what could not be released goes with the object.
  }
  Terminado.store(true, std::memory_order_release);
}

void TDHilo::Continuar() {
  switch (Papel.load()) {
    case TPapel::Origen:
      ContinuarOrigen();
      break;
    case TPapel::Destino:
      ContinuarDestino();
      break;
    case TPapel::Ninguno:
      ActualizarCapacidad();
      break;
  }
}

void TDHilo::EsOrigen() {
  OD.store(this, std::memory_order_release);
  Hilo.RaisePriority();
  Papel.store(TPapel::Origen);
}

void TDHilo::SetOD(const std::shared_ptr<TDHilo>& source) {
  ODVida = source;
  OD.store(source.get(), std::memory_order_release);
  source->Destinos.Agregar(Id, shared_from_this());
}

void TDHilo::EsDestino() { Papel.store(TPapel::Destino); }

void TDHilo::ContinuarDestino() {
  if (TDHilo* source = GetOD()) {
    source->AgregarLiberar(std::move(IOLast));
  } else {
    IOLast.reset();
  }
  IOLast = std::move(IONext);
  {
    auto cola = IOList.Bloquear();
    if (!cola->empty()) {
      IONext = std::move(cola->front());
      cola->pop_front();
      CacheEnCola.fetch_sub(IONext->Cache);
      if (IONext->Escribe()) {
        ++Trabajos;
        // A new job: what the last one's read-back showed no longer holds.
        if (!Comprobacion.Pendiente()) Comprobacion.Empezar();
      }
    } else if (Trabajos != SincronizacionPedida && LEC.load() == 0 && TrabajoCompleto() &&
               Sesion.Raiz == platform::kInvalidHandle) {
      // Nothing reached the drive since its last sync: nothing to flush.
      SincronizacionPedida = Trabajos;
      Sincronizados.store(Trabajos, std::memory_order_release);
      CrearEspera();
    } else if (Trabajos != SincronizacionPedida && LEC.load() == 0 && TrabajoCompleto()) {
      // The job is written: it goes to the device before the drive may be called done.
      IONext = std::make_unique<TSincronizar>();
      IONext->ONombre = IOLast->ONombre;
      IONext->DNombre = IOLast->DNombre;
      SincronizacionPedida = Trabajos;
    } else {
      CrearEspera();
    }
  }
  if (ComprobacionLista()) ContinuarComprobacion();
  ActualizarCapacidad();
}

bool TDHilo::TrabajoCompleto() const {
  return DPos.load() >= DFin.load() && RegistrosHechos >= RegistrosFin.load();
}

void TDHilo::FinSincronizacion() {
  Sincronizados.store(SincronizacionPedida, std::memory_order_release);
  // Holding the root would keep the drive from being unmounted; the next job opens it again.
  // A read-back (or the manifest) that follows keeps it: opened anew by its mount point, a stick
  // unmounted meanwhile would be a bare folder of the system's disk, and a file "missing" there
  // would be copied into it again.
  if (Sincronizados.load() == Trabajos && !Comprobacion.Pendiente()) {
    AbandonarSesion(*Entorno->Env, IOFile, Sesion);
  }
  // The idle turn that follows need not be waited out to show the drive done.
  IOCP->Nudge();
}

void TDHilo::CrearEspera() {
  auto espera = NuevaEspera();
  espera->ONombre = IOLast->ONombre;
  espera->DNombre = IOLast->DNombre;
  espera->FTalla = IOLast->FTalla;
  espera->FStr = IOLast->FStr;
  espera->FPos = IOLast->FPos;
  IONext = std::move(espera);
}

void TDHilo::ErrorDestino() {
  Comprobacion.Olvidar();
  try {
    AbandonarSesion(*Entorno->Env, IOFile, Sesion);
  } catch (...) {
    // The source must still stop planning for this drive.
  }
  if (TDHilo* source = GetOD()) source->EliminarFiles(Id);
}

void TDHilo::ErrorOrigen() {
  try {
    if (IOFile != platform::kInvalidHandle) Entorno->Env->CloseHandle(IOFile);
    IOFile = platform::kInvalidHandle;
    LiberarIOList.Agregar(std::move(IONext));
    {
      auto cola = IOList.Bloquear();
      for (auto& op : *cola) LiberarIOList.Agregar(std::move(op));
      cola->clear();
      CacheEnCola.store(0);
    }
    // A resumed copy was read from Desde on: only that part of the source's progress goes back.
    DPos.store(DPos.load() -
               std::max<std::int64_t>(0, RedondearTalla(HRec.SectorSize, IOLast->FPos) -
                                             DesdeDe(*IOLast)));
    IOLast->OnReadError();
    ReintentarArchivo();
    CrearEspera();
  } catch (...) {
    if (!IONext) CrearEspera();
  }
  IOCP->Post(0, 0, nullptr);
}

void TDHilo::ReintentarArchivo() {
  std::unique_ptr<TFRec> rec = RegistroDe(*IOLast);
  IOLast->LlenarDList(rec->DList);
  // A destination withdrawn while the read hung is not given the file again.
  std::erase_if(rec->DList, [this](TIdDestino id) { return !Destino(id); });
  const std::int64_t desde = DesdeDe(*IOLast);
  if (rec->DList.empty()) {
    AddDFin(desde - RedondearTalla(GetAppRec().SectorSize, IOLast->FTalla));
    return;
  }
  // Every destination's copy was deleted: the file is read whole again.
  if (desde != 0) AddDFin(desde);
  // A file that changed under the read is copied as it is now; every total follows its size.
  platform::FileAttributeData ahora;
  if (Entorno->Env->GetFileAttributesEx(CaminoUnidad(HRec.Montaje, rec->ONombre), &ahora) &&
      !(ahora.Attributes & platform::FILE_ATTRIBUTE_DIRECTORY) && ahora.Size > 0 &&
      (ahora.Size != rec->Talla || ahora.Times.LastWrite != rec->Tiempo.ETiempo)) {
    TFRec antes = *rec;
    rec->Talla = ahora.Size;
    rec->Tiempo = {ahora.Times.Creation, ahora.Times.LastAccess, ahora.Times.LastWrite};
    rec->Atributos = ahora.Attributes;
    AddDFin(rec->DTalla(GetAppRec().SectorSize) - antes.DTalla(GetAppRec().SectorSize));
    for (TIdDestino id : rec->DList) {
      if (const std::shared_ptr<TDHilo> DH = Destino(id)) {
        const std::uint32_t sector = DH->GetAppRec().SectorSize;
        DH->AddDFin(rec->DTalla(sector) - antes.DTalla(sector));
      }
    }
  }
  FList.Agregar(std::move(rec));
}

std::deque<std::unique_ptr<TFRec>>& TDHilo::LockFList() {
  FList.Lock();
  return FList.SinBloqueo();
}

void TDHilo::UnLockFList() {
  FList.Unlock();
  Despertar();
}

void TDHilo::AddDFin(std::int64_t I64, std::int64_t registros) {
  RegistrosFin.fetch_add(registros);
  DFinList.Agregar(I64);
  Despertar();
}

void TDHilo::EliminarFiles(TIdDestino DH) {
  const std::uint32_t sector = GetAppRec().SectorSize;
  auto cola = FList.Bloquear();
  try {
    for (auto it = cola->end(); it != cola->begin();) {
      --it;
      if ((*it)->EliminarDestino(DH) && (*it)->DList.empty()) {
        AddDFin(-(*it)->DTalla(sector));
        it = cola->erase(it);
      }
    }
  } catch (...) {
    // A failure ends the walk; the records not reached keep DH.
  }
}

void TDHilo::AgregarEliminarDestino(std::shared_ptr<TDHilo> DH) {
  Destinos.Quitar(DH->GetId());
  EliminarDestinosList.Agregar(std::move(DH));
  Despertar();
}

void TDHilo::EliminarDestinos() {
  auto lista = EliminarDestinosList.Bloquear();
  try {
    for (auto& DH : *lista) {
      // Records queued since the withdrawal (a retried file) let it go too.
      EliminarFiles(DH->GetId());
      IOLast->BorrarDestino(DH->GetId());
      IONext->BorrarDestino(DH->GetId());
      {
        auto cola = IOList.Bloquear();
        for (auto& op : *cola) op->BorrarDestino(DH->GetId());
      }
      DH->Terminate();
    }
    lista->clear();
  } catch (...) {
    // Left for the next turn.
  }
}

std::int64_t TDHilo::GetCache() { return CacheEnCola.load(); }

std::int64_t TDHilo::AtrasoDe(TIdDestino id) const {
  const std::shared_ptr<TDHilo> DH = Destino(id);
  return DH ? DH->GetCache() : 0;
}

void TDHilo::AgregarIO(std::unique_ptr<TEspera> op) {
  {
    auto cola = IOList.Bloquear();
    CacheEnCola.fetch_add(op->Cache);
    cola->push_back(std::move(op));
  }
  Despertar();
}

std::int64_t TDHilo::RetirarEscrituras(const std::u16string& DNombre) {
  std::int64_t primera = -1;
  auto cola = IOList.Bloquear();
  std::erase_if(*cola, [&](const std::unique_ptr<TEspera>& op) {
    if (dynamic_cast<const TEscribirArchivo*>(op.get()) == nullptr || op->DNombre != DNombre)
      return false;
    if (primera < 0 || op->FPos < primera) primera = op->FPos;
    CacheEnCola.fetch_sub(op->Cache);
    return true;
  });
  return primera;
}

void TDHilo::AgregarLiberar(std::unique_ptr<TEspera> op) {
  const bool bloque = op && op->Buf != nullptr;
  LiberarIOList.Agregar(std::move(op));
  // A read waiting for a block of a full pool is asked again at once, not after its idle turn.
  if (bloque) Despertar();
}

void TDHilo::PublicarMuestra() {
  if (!IOLast) return;
  auto ociosa = [](const TEspera& op) { return typeid(op) == typeid(TEspera); };
  const bool reposo = ociosa(*IOLast) && ociosa(*IONext) && IOList.Bloquear()->empty() &&
                      FList.Bloquear()->empty();
  {
    std::lock_guard<std::mutex> lock(Textos);
    MuestraLast = {IOLast->ONombre, IOLast->DNombre, IOLast->FStr, IOLast->FPos, IOLast->FTalla};
  }
  Reposo.store(reposo, std::memory_order_release);
  std::lock_guard<std::mutex> lock(CambioEstado);
  const TEstado ahora = CalcularEstado(reposo);
  const TEstado antes = Estado.exchange(ahora, std::memory_order_acq_rel);
  if (ahora != antes) {
    Entorno->Eventos.Publicar({this, GetHRec().ID, antes, ahora, LEC.load()});
  }
}

TEstado TDHilo::CalcularEstado(bool reposo) const {
  if (Quitado.load(std::memory_order_acquire)) return TEstado::Quitado;
  if (Papel.load() == TPapel::Ninguno) return TEstado::Reposo;
  if (LEC.load() != 0) return TEstado::Fallido;
  const std::int64_t fin = DFin.load();
  const bool sincronizando =
      dynamic_cast<const TSincronizar*>(IONext.get()) != nullptr ||
      dynamic_cast<const TSincronizar*>(IOLast.get()) != nullptr;
  const bool verificando = IONext->Comprueba() || IOLast->Comprueba();
  if (!reposo) {
    if (verificando) return TEstado::Verificando;
    return sincronizando ? TEstado::Sincronizando : TEstado::Escribiendo;
  }
  // A drive checked against its manifest was given no work, and is done once checked.
  if (fin == 0 && !Comprobacion.Verificado.load(std::memory_order_acquire) &&
      !Comprobacion.Pendiente())
    return TEstado::Reposo;
  // Idle with work counted but not done: it has not reached this drive yet.
  if (!TrabajoCompleto()) return TEstado::EnCola;
  // Written, not yet on the device.
  if (Papel.load() == TPapel::Destino && Sincronizados.load() != Trabajos)
    return TEstado::Sincronizando;
  if (Papel.load() == TPapel::Destino && Comprobacion.Pendiente()) return TEstado::Verificando;
  return TEstado::Terminado;
}

void TDHilo::MarcarQuitado() {
  std::lock_guard<std::mutex> lock(CambioEstado);
  Quitado.store(true, std::memory_order_release);
  const TEstado antes = Estado.exchange(TEstado::Quitado, std::memory_order_acq_rel);
  if (antes != TEstado::Quitado) {
    Entorno->Eventos.Publicar({this, GetHRec().ID, antes, TEstado::Quitado, LEC.load()});
  }
}

TVelocidad TDHilo::GetVelocidad() const {
  std::lock_guard<std::mutex> lock(Textos);
  return Velocidad;
}

TCapacidad TDHilo::GetCapacidad() const {
  std::lock_guard<std::mutex> lock(Textos);
  return Capacidad;
}

TInstantanea TDHilo::GetInstantanea() const {
  TInstantanea foto;
  foto.EsOrigen = EsLaFuente();
  foto.Estado = GetEstado();
  foto.DPos = GetDPos();
  foto.DFin = GetDFin();
  foto.EspacioLibre = GetEspacio();
  foto.LEC = GetLEC();
  foto.Releido = GetReleido();
  std::lock_guard<std::mutex> lock(Textos);
  foto.HRec = HRecVisible;
  foto.Capacidad = Capacidad;
  foto.Velocidad = Velocidad;
  foto.Muestra = foto.LEC != 0 ? MuestraError : MuestraLast;
  foto.Comprobacion = {Comprobacion.Pos.load(std::memory_order_relaxed),
                       Comprobacion.Fin.load(std::memory_order_relaxed),
                       Comprobacion.Archivos.load(std::memory_order_relaxed),
                       Comprobacion.Verificado.load(std::memory_order_acquire),
                       Comprobacion.GetFallidos()};
  return foto;
}

THRec TDHilo::GetHRec() const {
  std::lock_guard<std::mutex> lock(Textos);
  return HRecVisible;
}

void TDHilo::SetAppRec(const THRec& rec) {
  std::lock_guard<std::mutex> lock(Textos);
  AppRec = rec;
}

THRec TDHilo::GetAppRec() const {
  std::lock_guard<std::mutex> lock(Textos);
  return AppRec;
}

TMuestra TDHilo::GetMuestra() const {
  std::lock_guard<std::mutex> lock(Textos);
  return LEC.load() != 0 ? MuestraError : MuestraLast;
}
