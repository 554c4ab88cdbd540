// The source worker's scheduling step: destroys finished operations, takes the next planned
// operation once its buffer can be had, and detaches withdrawn destinations.
#include "DUnit/TDHilo.h"

void TDHilo::ContinuarOrigen() {
  LiberarIOList.Agregar(std::move(IOLast));
  IOLast = std::move(IONext);
  // Destroying gives up each operation's share of its block buffer, here on the source thread.
  LiberarIOList.Bloquear()->clear();
  {
    auto cola = IOList.Bloquear();
    if (!cola->empty()) {
      TomarSiguiente();
    } else {
      CrearEspera();
    }
  }
  EliminarDestinos();
  ActualizarCapacidad();
}

// Called with IOList locked and not empty.
void TDHilo::TomarSiguiente() {
  auto& cola = IOList.SinBloqueo();
  if (cola.front()->CrearBuf(Entorno->MemoriaLibre.load())) {
    IONext = std::move(cola.front());
    cola.pop_front();
  } else {
    // The read waits at the head of the queue for memory; asked again after the idle turn.
    CrearEspera();
  }
}
