// The source worker's scheduling step: destroys finished operations, takes the next planned
// operation once its buffer can be had, or chooses, splits and plans the next record; and
// detaches withdrawn destinations.
#include "DUnit/TDHilo.h"

namespace {

// Half of what the engine may use: a record whose first destination has this much queued in
// block buffers waits for the records of destinations that are less behind.
std::int64_t Presupuesto(const TEntorno& entorno) {
  const std::int64_t diferencia = entorno.MemoriaTotal.load() - entorno.MemoriaLibre.load();
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(diferencia) >> 1);
}

}  // namespace

void TDHilo::ContinuarOrigen() {
  LiberarIOList.Agregar(std::move(IOLast));
  IOLast = std::move(IONext);
  // Destroying gives up each operation's share of its block buffer, here on the source thread.
  LiberarIOList.Bloquear()->clear();
  const std::int64_t B = Presupuesto(*Entorno);
  {
    auto cola = IOList.Bloquear();
    if (!cola->empty()) {
      TomarSiguiente();
    } else {
      auto registros = FList.Bloquear();
      if (registros->empty()) {
        CrearEspera();
      } else {
        std::unique_ptr<TFRec> R = ElegirRegistro(*registros, B);
        if (auto R2 = SepararRezagados(*R, B)) registros->push_back(std::move(R2));
        R->LlenarIOList(*this, *cola);
        TomarSiguiente();
      }
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

// Takes out the record at the lowest position whose first destination is below the budget, or
// the first record when none is.
std::unique_ptr<TFRec> TDHilo::ElegirRegistro(std::deque<std::unique_ptr<TFRec>>& registros,
                                              std::int64_t B) {
  size_t elegido = 0;
  for (size_t i = registros.size(); i-- > 0;) {
    if (registros[i]->DList.front()->GetCache() < B) elegido = i;
  }
  std::unique_ptr<TFRec> R = std::move(registros[elegido]);
  registros.erase(registros.begin() + static_cast<std::ptrdiff_t>(elegido));
  return R;
}

// Destinations far behind the others would hold every block of R in memory until they reach
// it: they get the file later, from a copy of the record read again.
std::unique_ptr<TFRec> TDHilo::SepararRezagados(TFRec& R, std::int64_t B) {
  std::vector<std::int64_t> atraso;
  atraso.reserve(R.DList.size());
  for (TDHilo* DH : R.DList) atraso.push_back(DH->GetCache());
  std::int64_t A = atraso.back();
  for (std::int64_t a : atraso) {
    if (a < B) {
      A = a;
      break;
    }
  }
  std::unique_ptr<TFRec> R2;
  for (size_t i = R.DList.size(); i-- > 1;) {
    const std::int64_t d = atraso[i] - A;
    if (d <= B && d <= R.Talla) continue;
    if (!R2) {
      R2 = std::make_unique<TFRec>();
      R2->ONombre = R.ONombre;
      R2->DNombre = R.DNombre;
      R2->Talla = R.Talla;
      R2->Tiempo = R.Tiempo;
      R2->Atributos = R.Atributos;
      AddDFin(RedondearTalla(HRec.SectorSize, R.Talla));
    }
    R2->DList.push_back(R.DList[i]);
    R.DList.erase(R.DList.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return R2;
}
