#include "engine/NombreTemporal.h"

#include <cstdint>
#include <cstdio>

#include "platform/paths.h"

namespace {

const std::u16string kPrefijo = u".orsanta~";
// A Linux name holds at most 255 bytes.
constexpr std::size_t kMaxBytesNombre = 255;

// FNV-1a, enough to tell apart the long names of one folder.
std::u16string Huella(const std::u16string& nombre) {
  std::uint64_t h = 14695981039346656037ull;
  for (char16_t u : nombre) {
    h ^= u;
    h *= 1099511628211ull;
  }
  char texto[17];
  std::snprintf(texto, sizeof texto, "%016llx", static_cast<unsigned long long>(h));
  return std::u16string(texto, texto + 16);
}

}  // namespace

std::u16string NombreTemporal(const std::u16string& DNombre) {
  const std::size_t corte = DNombre.rfind(u'\\') + 1;  // 0 when it has no folder
  const std::u16string nombre = DNombre.substr(corte);
  std::string bytes;
  const bool cabe = platform::EncodeName(nombre, &bytes) &&
                    bytes.size() + kPrefijo.size() <= kMaxBytesNombre;
  return DNombre.substr(0, corte) + kPrefijo + (cabe ? nombre : Huella(nombre));
}

bool EsNombreTemporal(const std::u16string& nombre) {
  const std::size_t corte = nombre.rfind(u'\\') + 1;
  return nombre.compare(corte, kPrefijo.size(), kPrefijo) == 0;
}
