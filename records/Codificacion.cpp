#include "records/Codificacion.h"

#include "platform/atomic_file.h"

namespace {

// Little-endian byte by byte, so that the files are the same on any host.
template <class Sin>
void EscribirSinSigno(std::string& flujo, Sin valor) {
  for (std::size_t i = 0; i < sizeof(Sin); ++i) {
    flujo.push_back(static_cast<char>(static_cast<unsigned char>(valor >> (8 * i))));
  }
}

template <class Sin>
Sin DecodificarSinSigno(std::string_view campo) {
  Sin valor = 0;
  for (std::size_t i = 0; i < sizeof(Sin); ++i) {
    valor |= static_cast<Sin>(static_cast<unsigned char>(campo[i])) << (8 * i);
  }
  return valor;
}

}  // namespace

void EscribirEntero(std::string& flujo, std::int32_t valor) {
  EscribirSinSigno(flujo, static_cast<std::uint32_t>(valor));
}

void EscribirPalabra(std::string& flujo, std::uint32_t valor) { EscribirSinSigno(flujo, valor); }

void EscribirEntero64(std::string& flujo, std::int64_t valor) {
  EscribirSinSigno(flujo, static_cast<std::uint64_t>(valor));
}

void EscribirCadena(std::string& flujo, const std::u16string& texto) {
  EscribirEntero(flujo, static_cast<std::int32_t>(texto.size()));
  for (char16_t unidad : texto) EscribirSinSigno(flujo, static_cast<std::uint16_t>(unidad));
}

bool TLector::Tomar(std::size_t n, std::string_view* campo) {
  if (n > resto_.size()) return false;
  *campo = resto_.substr(0, n);
  resto_.remove_prefix(n);
  return true;
}

bool TLector::LeerPalabra(std::uint32_t* valor) {
  std::string_view campo;
  if (!Tomar(sizeof(*valor), &campo)) return false;
  *valor = DecodificarSinSigno<std::uint32_t>(campo);
  return true;
}

bool TLector::LeerEntero(std::int32_t* valor) {
  std::uint32_t palabra;
  if (!LeerPalabra(&palabra)) return false;
  *valor = static_cast<std::int32_t>(palabra);
  return true;
}

bool TLector::LeerEntero64(std::int64_t* valor) {
  std::string_view campo;
  if (!Tomar(sizeof(*valor), &campo)) return false;
  *valor = static_cast<std::int64_t>(DecodificarSinSigno<std::uint64_t>(campo));
  return true;
}

bool LeerCadena(TLector& lector, std::u16string* texto) {
  TLector resto = lector;
  std::int32_t unidades;
  if (!resto.LeerEntero(&unidades) || unidades < 0) return false;
  std::string_view campo;
  if (!resto.Tomar(2 * static_cast<std::size_t>(unidades), &campo)) return false;
  texto->resize(static_cast<std::size_t>(unidades));
  for (std::size_t i = 0; i < texto->size(); ++i) {
    (*texto)[i] = static_cast<char16_t>(DecodificarSinSigno<std::uint16_t>(campo.substr(2 * i)));
  }
  lector = resto;
  return true;
}

bool LeerArchivoCompleto(const std::string& ruta_linux, std::string* bytes) {
  return platform::ReadFileBounded(ruta_linux, platform::kMaxOwnFileBytes, bytes) ==
         platform::ReadOutcome::kRead;
}

bool EscribirArchivoCompleto(const std::string& ruta_linux, const std::string& bytes) {
  return platform::WriteFileAtomic(ruta_linux, bytes);
}
