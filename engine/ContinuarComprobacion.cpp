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
  if (V.EnCurso > 0 || (V.ManifiestoPedido && !V.ManifiestoEscrito)) return;
  if (!V.Diferentes.empty()) return DecidirDiferentes();
  if (!V.Recibidos.empty()) {
    if (Entorno->Verificar.load()) {
      // Asked again on the next turn, an idle one.
      if (!ReservarBloque(*Entorno->Env, Entorno->MemoriaLibre.load(), V)) return;
      std::deque<std::unique_ptr<TEspera>> ops;
      for (const TRecibido& archivo : V.Recibidos) {
        PlanearComprobacion(archivo, HRec.SectorSize, V, ops);
      }
      V.Recibidos.clear();
      IONext = std::move(ops.front());
      ops.pop_front();
      auto cola = IOList.Bloquear();
      for (auto& op : ops) cola->push_back(std::move(op));
      return;
    }
    V.Comprobados.insert(V.Comprobados.end(), V.Recibidos.begin(), V.Recibidos.end());
    V.Recibidos.clear();
  }
  if (Entorno->Manifiesto.load() && !V.ManifiestoPedido && !V.Comprobados.empty()) {
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
  V.Verificado.store(Entorno->Verificar.load(), std::memory_order_release);
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
    if (con_origen && V.Recopiados.insert(archivo.DNombre).second) {
      Recopiar(archivo);
    } else {
      fallidos.push_back(archivo);
    }
  }
  V.Diferentes.clear();
  if (fallidos.empty()) return;
  std::vector<std::u16string> nombres;
  for (const TRecibido& archivo : fallidos) nombres.push_back(archivo.DNombre);
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
