// A drive as the notices name it: "UNO (E:)".
#pragma once

#include <string>

#include "engine/TDHilo.h"

inline std::u16string NombreUnidad(const THRec& unidad) {
  return unidad.Nombre + u" (" + unidad.Letra + u":)";
}
