#include "cli/Especificaciones.h"

#include <algorithm>

#include "cli/Entradas.h"
#include "platform/paths.h"

namespace {

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The volume's own label, empty when it has none (the rows show the drive type instead).
std::u16string Etiqueta(platform::Drives& unidades, const THRec& rec) {
  std::u16string etiqueta;
  std::uint32_t serie = 0;
  if (!unidades.GetVolumeInformation(rec.Montaje, &etiqueta, &serie)) return rec.Nombre;
  return etiqueta;
}

}  // namespace

bool LeerSerie(const std::string& especificacion, std::uint32_t* serie) {
  std::string digitos = especificacion;
  if (digitos.size() == 9 && digitos[4] == '-') digitos.erase(4, 1);
  if (digitos.size() != 8) return false;
  std::uint32_t valor = 0;
  for (const char c : digitos) {
    const int h = Hex(c);
    if (h < 0) return false;
    valor = valor << 4 | static_cast<std::uint32_t>(h);
  }
  *serie = valor;
  return true;
}

bool ElegirDestinos(const std::vector<std::string>& especificaciones,
                    const std::vector<std::shared_ptr<TDHilo>>& lista, const TDHilo* origen,
                    platform::Drives& unidades, std::vector<std::shared_ptr<TDHilo>>* destinos,
                    std::string* error) {
  std::vector<bool> elegidos(lista.size(), false);
  for (const std::string& spec : especificaciones) {
    std::vector<std::size_t> encontrados;
    if (spec == "removable") {
      for (std::size_t i = 0; i < lista.size(); ++i) {
        const THRec rec = lista[i]->GetAppRec();
        if (lista[i].get() != origen && rec.Montaje != "/" &&
            unidades.GetDriveType(rec.Montaje) == platform::DRIVE_REMOVABLE) {
          encontrados.push_back(i);
        }
      }
      if (encontrados.empty()) {
        *error = "removable: no hay ningún volumen extraíble aparte del de origen y el del "
                 "sistema";
        return false;
      }
    } else if (spec[0] == '/') {
      const std::string montaje = RutaAbsoluta(spec);
      for (std::size_t i = 0; i < lista.size(); ++i) {
        if (lista[i]->GetAppRec().Montaje == montaje) encontrados.push_back(i);
      }
      if (encontrados.empty()) {
        *error = spec + ": ningún volumen que el programa lista está montado ahí";
        return false;
      }
    } else {
      // A serial first; a label that looks like one still names its volumes when no serial
      // matches.
      std::uint32_t serie = 0;
      if (LeerSerie(spec, &serie)) {
        for (std::size_t i = 0; i < lista.size(); ++i) {
          if (lista[i]->GetAppRec().ID == serie) encontrados.push_back(i);
        }
      }
      if (encontrados.empty()) {
        const std::u16string etiqueta = platform::DecodeName(spec);
        for (std::size_t i = 0; i < lista.size(); ++i) {
          if (Etiqueta(unidades, lista[i]->GetAppRec()) == etiqueta) encontrados.push_back(i);
        }
      }
      if (encontrados.empty()) {
        *error = spec + ": ningún volumen tiene esa etiqueta ni ese número de serie "
                        "(orsanta-cli drives muestra los volúmenes)";
        return false;
      }
    }
    for (const std::size_t i : encontrados) {
      if (spec != "removable" && lista[i].get() == origen) {
        *error = spec + ": es el volumen de origen de la copia";
        return false;
      }
      elegidos[i] = true;
    }
  }
  destinos->clear();
  for (std::size_t i = 0; i < lista.size(); ++i) {
    if (elegidos[i]) destinos->push_back(lista[i]);
  }
  return true;
}
