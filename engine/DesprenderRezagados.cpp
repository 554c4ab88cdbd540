// The source detaches a destination that lags behind from the file it is reading, even in the
// middle of it: the destination keeps what it was handed and suspends its copy, and the rest of
// the file is read again for it alone later. The block buffers it would have held go to the
// destinations that keep up, so a slow stick never sets the pace of the fast ones.
#include <algorithm>
#include <typeinfo>

#include "engine/Eleccion.h"
#include "engine/OperacionesDestino.h"
#include "engine/OperacionesOrigen.h"
#include "engine/Planificacion.h"
#include "engine/TDHilo.h"

// Called with IOList locked, before its head is taken. Returns whether the head read waits: a
// block read for destinations that all have the read-ahead queued would only wait in their
// queues, so the read waits instead, and the pool's blocks stay with the sticks that move and
// their read-backs.
bool TDHilo::DesprenderRezagados() {
  auto& cola = IOList.SinBloqueo();
  auto* lectura = cola.empty() ? nullptr : dynamic_cast<TLeerArchivo*>(cola.front().get());
  if (lectura == nullptr) return false;  // nothing of a file is left to hand out
  std::vector<TIdDestino> destinos;
  lectura->LlenarDList(destinos);
  if (destinos.empty()) return false;
  const std::int64_t B = Presupuesto(*Entorno);
  const auto atraso = [this](TIdDestino id) { return AtrasoDe(id); };
  // A file read for one destination alone stops at B only while the queue holds work for
  // another below B: otherwise nobody could use the memory it would leave, and the file would
  // only be opened and left again turn after turn.
  bool espera_otro = false;
  if (destinos.size() == 1 && atraso(destinos.front()) >= B) {
    TDebajoDe debajo(B, atraso);
    auto registros = FList.Bloquear();
    espera_otro = std::any_of(registros->begin(), registros->end(), [&](const auto& R) {
      return std::any_of(R->DList.begin(), R->DList.end(), [&](TIdDestino DH) {
        return DH != destinos.front() && debajo(DH);
      });
    });
  }
  const std::vector<TIdDestino> fuera = Rezagados(destinos, B, atraso, espera_otro);
  // B of 0: the pool itself says when a block can be had.
  const std::int64_t adelanto = Adelanto(B);
  const auto todos_atrasados = [&](const std::vector<TIdDestino>& DL) {
    return B > 0 && std::all_of(DL.begin(), DL.end(),
                                [&](TIdDestino id) { return atraso(id) >= adelanto; });
  };
  if (fuera.empty()) return todos_atrasados(destinos);

  // Where the detached copies stop: the open under way has reached nobody yet; a read under way
  // has not been handed out, so its block is the first they lack; else the head read's is.
  const TEspera& ultimo = *IOLast;
  const bool abriendo = typeid(ultimo) == typeid(TAbrirArchivo);
  const auto* en_curso = dynamic_cast<const TLeerArchivo*>(IOLast.get());
  const std::int64_t desde = abriendo ? lectura->Desde : en_curso ? en_curso->FPos : lectura->FPos;
  // Queued writes are dropped only for the others' sake: dropped for a file read for the laggard
  // alone, they would leave it below the budget at once, and its rest would be chosen again and
  // again with nothing gained.
  const bool retirar = fuera.size() < destinos.size();
  std::int64_t releido = 0;
  for (TIdDestino id : fuera) {
    releido += lectura->FTalla - Desprender(id, *lectura, desde, abriendo, retirar);
  }

  std::vector<TIdDestino> quedan;
  lectura->LlenarDList(quedan);
  if (quedan.empty()) {
    const std::int64_t lectura_talla = lectura->FTalla;
    lectura = nullptr;  // destroyed with the reads below
    // Nobody is left to read the file for: its reads go, its close still ends the source's open.
    std::int64_t sin_leer = 0;
    std::erase_if(cola, [&](const std::unique_ptr<TEspera>& op) {
      if (dynamic_cast<const TLeerArchivo*>(op.get()) == nullptr) return false;
      sin_leer += op->BufBytes;
      return true;
    });
    AddDFin(-sin_leer);
    // Only the block under way, and the blocks dropped from the destinations' queues, are read
    // twice.
    releido -= static_cast<std::int64_t>(fuera.size()) * (lectura_talla - desde);
    if (en_curso != nullptr)
      releido += static_cast<std::int64_t>(fuera.size()) * en_curso->BufBytes;
  }
  Releido.fetch_add(releido, std::memory_order_relaxed);
  return !quedan.empty() && todos_atrasados(quedan);
}

// Takes `id` out of the file's operations and, with `retirar`, drops its writes of the file not
// yet started, so that the blocks they hold go back to the pool; closes its copy as it then
// stands and queues the rest of the file for it at the front, to be read as soon as its backlog
// allows. Returns where that rest begins.
std::int64_t TDHilo::Desprender(TIdDestino id, const TLeerArchivo& lectura, std::int64_t desde,
                                bool abriendo, bool retirar) {
  IOLast->BorrarDestino(id);
  for (auto& op : IOList.SinBloqueo()) op->BorrarDestino(id);
  if (!abriendo) {
    if (const std::shared_ptr<TDHilo> DH = Destino(id)) {
      const std::int64_t retirada = retirar ? DH->RetirarEscrituras(lectura.DNombre) : -1;
      if (retirada >= 0) desde = std::min(desde, retirada);
      // A copy with nothing written yet is deleted, and made anew later.
      std::unique_ptr<TEspera> cierre;
      if (desde > 0) {
        cierre = std::make_unique<TSuspenderArchivo>();
      } else {
        cierre = std::make_unique<TCerrarArchivoIncompleto>();
      }
      cierre->ONombre = lectura.ONombre;
      cierre->DNombre = lectura.DNombre;
      DH->AgregarIO(std::move(cierre));
    }
  }
  std::unique_ptr<TFRec> resto = RegistroDe(lectura);
  resto->Huella = lectura.Huella;
  resto->Desde = desde;
  resto->DList.push_back(id);
  AddDFin(resto->DTalla(GetAppRec().SectorSize));
  FList.Bloquear()->push_front(std::move(resto));
  return desde;
}
