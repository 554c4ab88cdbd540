// The read-back and the manifest, on or off. They live in a small text file of their own beside
// the settings file ("verificar=Si", "manifiesto=No", one a line), so that the settings file
// keeps its layout byte for byte; a missing, damaged or older file gives the defaults: both on.
#pragma once

#include <string>

struct TAjustesVerificacion {
  bool Verificar = true;
  bool Manifiesto = true;
};

// The file beside the settings file `ruta_configuracion`; empty when that is empty.
std::string RutaAjustesVerificacion(const std::string& ruta_configuracion);

// A line that is not "name=Si" or "name=No" for a known name leaves that setting at its
// default; the others are still read.
TAjustesVerificacion LeerAjustesVerificacion(const std::string& ruta);
bool GuardarAjustesVerificacion(const std::string& ruta, const TAjustesVerificacion& ajustes);
