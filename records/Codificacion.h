// The encodings of the program's files: little-endian fields back to back, texts as a signed
// 32-bit count of UTF-16 code units followed by the units. Writers append to a byte string;
// a reader walks a byte string and fails, without using what it found, on a field cut short
// by the end of the bytes, so that a damaged file never asks for more than it holds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

void EscribirEntero(std::string& flujo, std::int32_t valor);
void EscribirPalabra(std::string& flujo, std::uint32_t valor);
void EscribirEntero64(std::string& flujo, std::int64_t valor);
void EscribirCadena(std::string& flujo, const std::u16string& texto);

class TLector {
 public:
  explicit TLector(std::string_view bytes) : resto_(bytes) {}
  bool LeerEntero(std::int32_t* valor);
  bool LeerPalabra(std::uint32_t* valor);
  bool LeerEntero64(std::int64_t* valor);
  // Bytes not read yet.
  std::size_t Restante() const { return resto_.size(); }

 private:
  bool Tomar(std::size_t n, std::string_view* campo);
  std::string_view resto_;
  friend bool LeerCadena(TLector& lector, std::u16string* texto);
};

// Fails on a negative count or one larger than the bytes left, before allocating anything; a
// failed read leaves the reader where it was.
bool LeerCadena(TLector& lector, std::u16string* texto);

// Whole files, read and written at once (platform/atomic_file.h): a read takes only a regular
// file of at most platform::kMaxOwnFileBytes and never waits on a FIFO or a device; a write
// replaces the file atomically, so a failure or a crash leaves the old file whole. False on any
// failure.
bool LeerArchivoCompleto(const std::string& ruta_linux, std::string* bytes);
bool EscribirArchivoCompleto(const std::string& ruta_linux, const std::string& bytes);
