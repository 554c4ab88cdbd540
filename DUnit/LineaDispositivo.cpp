#include "DUnit/LineaDispositivo.h"

#include "DUnit/TallaStr.h"

std::u16string LineaDispositivo(const THRec& hrec, const std::u16string& capacidad,
                                std::int64_t pos, std::int64_t fin,
                                const std::u16string& velocidad) {
  std::u16string linea = hrec.Nombre + u" (" + hrec.Letra + u") " + capacidad;
  if (fin != 0) linea += u" " + EnteroStr(pos * 100 / fin) + u"% " + velocidad;
  return linea;
}
