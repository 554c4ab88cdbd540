#include "app/AjustesVerificacion.h"

#include <sstream>

#include "records/Codificacion.h"

std::string RutaAjustesVerificacion(const std::string& ruta_configuracion) {
  if (ruta_configuracion.empty()) return {};
  return ruta_configuracion + ".verificacion";
}

TAjustesVerificacion LeerAjustesVerificacion(const std::string& ruta) {
  TAjustesVerificacion ajustes;
  std::string bytes;
  if (ruta.empty() || !LeerArchivoCompleto(ruta, &bytes)) return ajustes;
  std::istringstream lineas(bytes);
  for (std::string linea; std::getline(lineas, linea);) {
    const std::size_t igual = linea.find('=');
    if (igual == std::string::npos) continue;
    const std::string nombre = linea.substr(0, igual);
    const std::string valor = linea.substr(igual + 1);
    if (valor != "Si" && valor != "No") continue;
    if (nombre == "verificar") ajustes.Verificar = valor == "Si";
    if (nombre == "manifiesto") ajustes.Manifiesto = valor == "Si";
  }
  return ajustes;
}

bool GuardarAjustesVerificacion(const std::string& ruta, const TAjustesVerificacion& ajustes) {
  if (ruta.empty()) return false;
  const auto si_no = [](bool si) { return si ? "Si" : "No"; };
  return EscribirArchivoCompleto(ruta, std::string("verificar=") + si_no(ajustes.Verificar) +
                                           "\nmanifiesto=" + si_no(ajustes.Manifiesto) + "\n");
}
