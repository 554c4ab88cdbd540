#include "engine/Manifiesto.h"

#include "platform/paths.h"
#include "records/ArchivoLista.h"
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

TManifiestoLeido LeerManifiesto(std::string_view texto) {
  TManifiestoLeido leido;
  while (!texto.empty()) {
    const std::size_t fin = texto.find('\n');
    std::string_view linea = texto.substr(0, fin);
    texto.remove_prefix(fin == std::string_view::npos ? texto.size() : fin + 1);
    if (!linea.empty() && linea.back() == '\r') linea.remove_suffix(1);
    if (linea.empty()) continue;
    ++leido.Lineas;
    TRecibido archivo;
    if (linea.size() < 35 || linea.substr(32, 2) != "  " ||
        !THuella::DeHex(linea.substr(0, 32), &archivo.Huella)) {
      ++leido.Malas;
      continue;
    }
    std::u16string ruta = platform::DecodeName(std::string(linea.substr(34)));
    for (char16_t& u : ruta) {
      if (u == u'/') u = u'\\';
    }
    if (!NombreEnVolumen(ruta)) {
      ++leido.Malas;
      continue;
    }
    archivo.ONombre = ruta;
    archivo.DNombre = std::move(ruta);
    leido.Archivos.push_back(std::move(archivo));
  }
  return leido;
}

bool EsManifiesto(const std::u16string& relativo) {
  // Names on a stick's file system may not tell case apart.
  return CompararNombres(relativo, kNombreManifiesto) == 0;
}
