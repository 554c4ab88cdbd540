// A drive as the window's notices name it: "UNO (E:)". (The command line names drives its own
// way: NombreUnidad in cli/Seguido.h.)
#pragma once

#include <string>

#include "engine/TDHilo.h"

inline std::u16string UnidadEnAviso(const THRec& unidad) {
  return unidad.Nombre + u" (" + unidad.Letra + u":)";
}
