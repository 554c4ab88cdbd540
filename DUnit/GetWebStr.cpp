// The worker's line of the status page.
#include "DUnit/LineaDispositivo.h"
#include "DUnit/TDHilo.h"
#include "DUnit/TextoError.h"

std::u16string TDHilo::GetWebStr() const {
  const std::int64_t fin = GetDFin();
  std::u16string linea = LineaDispositivo(GetHRec(), GetCapacidad(), GetDPos(), fin,
                                          GetVelocidad());
  // An error shows only while there is work left, after the speed text that already holds it.
  const std::uint32_t lec = GetLEC();
  if (fin != 0 && lec != 0) linea += TextoError(lec);
  return linea;
}
