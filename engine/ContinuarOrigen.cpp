// The source worker's scheduling step: destroys finished operations, takes the next planned
// operation once its buffer can be had, or chooses, splits and plans the next record; and
// detaches withdrawn destinations.
#include "engine/Eleccion.h"
#include "engine/Planificacion.h"
#include "engine/TDHilo.h"

void TDHilo::ContinuarOrigen() {
  LiberarIOList.Agregar(std::move(IOLast));
  IOLast = std::move(IONext);
  // Destroying gives up each operation's share of its block buffer, here on the source thread.
  LiberarIOList.Bloquear()->clear();
  {
    auto cola = IOList.Bloquear();
    if (!cola->empty()) {
      if (DesprenderRezagados()) {
        CrearEspera();
      } else {
        TomarSiguiente();
      }
    } else {
      auto registros = FList.Bloquear();
      if (registros->empty()) {
        // Idle: the pool lets its blocks go once every holder has, and the next job fixes its
        // own limit.
        Entorno->Bloques->Recortar();
        CrearEspera();
      } else {
        const std::int64_t B = Presupuesto(*Entorno);
        const auto atraso = [this](TIdDestino id) { return AtrasoDe(id); };
        const std::size_t posicion = ElegirPosicion(*registros, B, atraso);
        std::unique_ptr<TFRec> R = std::move((*registros)[posicion]);
        registros->erase(registros->begin() + static_cast<std::ptrdiff_t>(posicion));
        // Destinations withdrawn since the record was queued are not served; a record left
        // with none leaves the source's total.
        std::erase_if(R->DList, [this](TIdDestino id) { return !Destino(id); });
        if (R->DList.empty()) {
          AddDFin(-R->DTalla(GetAppRec().SectorSize));
          CrearEspera();
          Despertar();  // the next record need not wait out the idle turn
        } else {
          if (auto R2 = SepararRezagados(*R, B, atraso)) {
            // Read once more for the destinations split off; their own totals stay as they are.
            AddDFin(R2->DTalla(GetAppRec().SectorSize));
            Releido.fetch_add(R2->Talla - R2->Desde, std::memory_order_relaxed);
            registros->push_back(std::move(R2));
          }
          LlenarIOList(*R, *this, *cola);
          TomarSiguiente();
        }
      }
    }
  }
  EliminarDestinos();
  ActualizarCapacidad();
}

// Called with IOList locked and not empty.
void TDHilo::TomarSiguiente() {
  auto& cola = IOList.SinBloqueo();
  // The backlog counts what an operation held when it was queued; a read gets its buffer here.
  const std::int64_t en_cola = cola.front()->Cache;
  if (cola.front()->CrearBuf(Entorno->Bloques, Entorno->MemoriaLibre.load())) {
    IONext = std::move(cola.front());
    cola.pop_front();
    CacheEnCola.fetch_sub(en_cola);
  } else {
    // The read waits at the head of the queue for memory; asked again after the idle turn.
    CrearEspera();
  }
}
