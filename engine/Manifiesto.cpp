#include "engine/Manifiesto.h"

#include "platform/paths.h"
#include "records/TFRec.h"

std::string TextoManifiesto(const std::vector<TRecibido>& archivos) {
  std::string texto;
  for (const TRecibido& archivo : archivos) {
    std::u16string ruta = archivo.DNombre;
    if (ruta.find_first_of(u"\n\r") != std::u16string::npos) continue;
    for (char16_t& u : ruta) {
      if (u == u'\\') u = u'/';
    }
    std::string bytes;
    if (!platform::EncodeName(ruta, &bytes)) continue;
    texto += archivo.Huella.Hex() + "  " + bytes + "\n";
  }
  return texto;
}

bool EsManifiesto(const std::u16string& relativo) {
  // Names on a stick's file system may not tell case apart.
  return CompararNombres(relativo, kNombreManifiesto) == 0;
}
