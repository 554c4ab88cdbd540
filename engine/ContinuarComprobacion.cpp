// A destination's steps after its job is on the device: read every file it received back and
// compare it with the source's fingerprint; copy a differing file once more from the source and
// read it back again; fail the stick with the files that differ twice; write the manifest; and
// only then call the stick verified and let go of its root.
#include <deque>
#include <typeinfo>

#include "engine/Manifiesto.h"
#include "engine/OperacionesComprobacion.h"
#include "engine/OperacionesDestino.h"
#include "engine/TDHilo.h"

void TDHilo::RecibirArchivo(const TEspera& op, const THuella& huella) {
  // A copy made anew is the same file of the job.
  if (Comprobacion.Recopiados.count(op.DNombre) == 0) {
    Comprobacion.Archivos.fetch_add(1, std::memory_order_relaxed);
  }
  Comprobacion.Recibidos.push_back({op.ONombre, op.DNombre, op.FTalla, op.FAtributos, op.FTiempo,
                                    huella});
}

// Whether the job is written and flushed and nothing else is queued or under way but what the
// read-back itself started.
bool TDHilo::ComprobacionLista() {
  return Papel.load() == TPapel::Destino && LEC.load() == 0 &&
         typeid(*IONext) == typeid(TEspera) && Comprobacion.Pendiente() && TrabajoCompleto() &&
         SincronizacionPedida == Trabajos && Sincronizados.load() == Trabajos &&
         IOList.Bloquear()->empty();
}

void TDHilo::ContinuarComprobacion() {
  TComprobaciones& V = Comprobacion;
  if (V.ManifiestoPedido && !V.ManifiestoEscrito) return;
  if (!V.Recibidos.empty() && (Entorno->Verificar.load() || V.SoloComprobar)) {
    // Asked again on the next turn, an idle one.
    if (!ReservarBloque(Entorno->Bloques, Entorno->MemoriaLibre.load(), V)) return;
    // The next files are planned while the last planned are still read (the queue is empty once
    // their last step is under way), so that the read-back never waits out an idle turn.
    std::deque<std::unique_ptr<TEspera>> ops;
    PlanearTanda(HRec.SectorSize, V, ops);
    IONext = std::move(ops.front());
    ops.pop_front();
    auto cola = IOList.Bloquear();
    for (auto& op : ops) cola->push_back(std::move(op));
    return;
  }
  if (V.EnCurso > 0) return;
  // Every file is read back before any is decided on, so that a stick that fails names them all.
  if (!V.Diferentes.empty()) return DecidirDiferentes();
  V.Comprobados.insert(V.Comprobados.end(), V.Recibidos.begin(), V.Recibidos.end());
  V.Recibidos.clear();
  V.Contados = 0;
  if (Entorno->Manifiesto.load() && !V.SoloComprobar && !V.ManifiestoPedido &&
      !V.Comprobados.empty()) {
    auto escribir = std::make_unique<TEscribirManifiesto>();
    escribir->Texto = TextoManifiesto(V.Comprobados);
    escribir->DNombre = kNombreManifiesto;
    auto cerrar = std::make_unique<TCerrarManifiesto>();
    cerrar->DNombre = kNombreManifiesto;
    cerrar->Estado = &V;
    V.ManifiestoPedido = true;
    IONext = std::move(escribir);
    IOList.Agregar(std::move(cerrar));
    return;
  }
  V.Verificado.store(Entorno->Verificar.load() || V.SoloComprobar, std::memory_order_release);
  V.Olvidar();
  // The job is on the device and checked: the drive can be unmounted.
  AbandonarSesion(*Entorno->Env, IOFile, Sesion);
}

void TDHilo::DecidirDiferentes() {
  TComprobaciones& V = Comprobacion;
  TDHilo* source = GetOD();
  const bool con_origen = source != nullptr && source != this;
  std::vector<TRecibido> fallidos;
  for (const TRecibido& archivo : V.Diferentes) {
    if (con_origen && !V.SoloComprobar && V.Recopiados.insert(archivo.DNombre).second) {
      Recopiar(archivo);
    } else {
      fallidos.push_back(archivo);
    }
  }
  V.Diferentes.clear();
  if (fallidos.empty()) return;
  std::vector<TArchivoFallido> nombres;
  for (const TRecibido& archivo : fallidos) nombres.push_back({archivo.DNombre, archivo.Falla});
  V.SetFallidos(std::move(nombres));
  V.Olvidar();
  auto fallo = std::make_unique<TFallarComprobacion>();
  fallo->ONombre = fallidos.front().ONombre;
  fallo->DNombre = fallidos.front().DNombre;
  fallo->FTalla = fallidos.front().Talla;
  fallo->FStr = {fallidos.front().Talla, -1};
  IONext = std::move(fallo);
}

// The source plans the file again for this drive alone: its buffers are long gone.
void TDHilo::Recopiar(const TRecibido& archivo) {
  TDHilo* source = GetOD();
  auto rec = std::make_unique<TFRec>();
  rec->DList = {Id};
  rec->ONombre = archivo.ONombre;
  rec->DNombre = archivo.DNombre;
  rec->Talla = archivo.Talla;
  rec->Atributos = archivo.Atributos;
  rec->Tiempo = archivo.Tiempo;
  source->AddDFin(rec->DTalla(source->GetAppRec().SectorSize));
  AddDFin(rec->DTalla(GetAppRec().SectorSize), 1);
  source->FList.Agregar(std::move(rec));
  source->Despertar();
}

bool TDHilo::ComprobarManifiesto(std::vector<TRecibido> archivos) {
  const TEstado estado = GetEstado();
  if (EsLaFuente() || LEC.load() != 0 || archivos.empty() ||
      (estado != TEstado::Reposo && estado != TEstado::Terminado)) {
    return false;
  }
  // A drive with no source yet takes the destination's continuation, which runs read-backs.
  if (Papel.load() == TPapel::Ninguno) EsDestino();
  // What the last job's read-back showed no longer holds, even if this check fails at once.
  // (Only atomics and the guarded list are touched: safe while the worker idles.)
  Comprobacion.Empezar();
  auto medir = std::make_unique<TMedirComprobacion>();
  medir->DNombre = kNombreManifiesto;
  medir->ONombre = kNombreManifiesto;
  medir->Archivos = std::move(archivos);
  medir->Estado = &Comprobacion;
  AgregarIO(std::move(medir));
  Despertar();
  return true;
}
