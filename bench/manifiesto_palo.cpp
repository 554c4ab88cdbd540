#include "bench/manifiesto_palo.h"

#include <fstream>
#include <map>

#include "engine/Manifiesto.h"

namespace fs = std::filesystem;

fs::path NombreManifiesto() { return fs::path(std::u16string(kNombreManifiesto)); }

std::vector<std::string> VerificarManifiesto(const TManifiesto& datos, const fs::path& destino) {
  const fs::path ruta = destino / NombreManifiesto();
  std::ifstream archivo(ruta);
  if (!archivo) return {"manifest missing: " + ruta.string()};
  // Each line "<32 hex digits>  <path from the root>", by path.
  std::map<std::string, std::string> lineas;
  TProblemas problemas;
  auto anotar = [&](const std::string& problema) { problemas.Anotar("manifest: " + problema); };
  std::string linea;
  for (int n = 1; std::getline(archivo, linea); ++n) {
    if (linea.size() < 35 || linea.compare(32, 2, "  ") != 0) {
      anotar("line " + std::to_string(n) + " malformed");
    } else if (!lineas.emplace(linea.substr(34), linea.substr(0, 32)).second) {
      anotar("line " + std::to_string(n) + " repeats " + linea.substr(34));
    }
  }
  for (const TEntrada& e : datos.Entradas) {
    if (e.Carpeta) continue;
    const std::string nombre = e.Relativa.generic_string();
    const auto it = lineas.find(nombre);
    if (it == lineas.end()) {
      anotar("no line for " + nombre);
      continue;
    }
    if (it->second != e.Huella.Hex()) {
      anotar(it->second + " instead of the source's " + e.Huella.Hex() + ": " + nombre);
    }
    lineas.erase(it);
  }
  for (const auto& [nombre, huella] : lineas) anotar("a line for no file of the source: " + nombre);
  return problemas.Lineas();
}
