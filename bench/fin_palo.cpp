#include "bench/fin_palo.h"

#include "bench/sistema.h"

void TerminarPalo(const TMedidor& medidor, const TGranja& granja, std::size_t palo,
                  const TContadores& base, double t0, TFinPalo& fin) {
  fin.Hecho = Ahora() - t0;
  fin.AlHecho = Diferencia(medidor.Leer(palo), base);
  SincronizarVolumen(granja.Palos[palo].Montaje);
  fin.Sincronizado = Ahora() - t0;
}
