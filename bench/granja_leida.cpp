#include "bench/granja_leida.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

TGranja LeerGranja(const std::string& ruta) {
  std::ifstream archivo(ruta);
  if (!archivo) throw std::runtime_error("cannot read the farm file " + ruta);
  TGranja granja;
  bool hay_origen = false;
  std::string linea;
  for (int n = 1; std::getline(archivo, linea); ++n) {
    std::istringstream campos(linea);
    std::string clase, dispositivo;
    TVolumen v;
    if (!(campos >> clase >> v.Label >> v.Montaje >> dispositivo >> v.MajMin >> v.BpsEscritura >>
          v.BpsLectura >> v.Sector >> v.DebugFs) ||
        (clase != "origen" && clase != "palo")) {
      throw std::runtime_error(ruta + ":" + std::to_string(n) + ": malformed line");
    }
    if (clase == "origen") {
      granja.Origen = v;
      hay_origen = true;
    } else {
      granja.Palos.push_back(v);
    }
  }
  if (!hay_origen || granja.Palos.empty()) {
    throw std::runtime_error(ruta + ": no source or no stick");
  }
  return granja;
}
