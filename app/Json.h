// JSON text (RFC 8259) as every front end writes it: the status server's /status.json and the
// command line's events. One escaper for all of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A text as a quoted JSON string, in UTF-8. Quotes, backslashes and control characters are
// escaped, and so are U+2028 and U+2029. A lone surrogate, which no UTF-8 can carry, is written
// as its \uXXXX escape: a Linux name's bytes that are not UTF-8 reach the program as U+DC80 to
// U+DCFF (platform/paths.h), so such a name comes out as "\udcXX" escapes, the mapping of
// Python's "surrogateescape", and never as bytes that are not UTF-8.
std::string JsonTexto(std::u16string_view texto);
// A Linux name or path, whatever its bytes, as a quoted JSON string (decoded as paths.h does,
// a backslash in it written as one).
std::string JsonNombre(std::string_view bytes);

// The program's form of a backslash inside a Linux name (platform/paths.h), which no other byte
// or character decodes to.
inline constexpr char16_t kBarraInvertidaEnNombre = 0xDC5C;
// A program name with such backslashes as the backslashes they are.
std::u16string NombreLinux(std::u16string nombre);

// One JSON object, written member by member in the order given. Names are the program's own
// ASCII words.
class TObjetoJson {
 public:
  TObjetoJson& Texto(std::string_view nombre, std::u16string_view valor);
  TObjetoJson& Nombre(std::string_view nombre, std::string_view bytes);  // a Linux name
  TObjetoJson& Ascii(std::string_view nombre, std::string_view valor);   // a word of ours
  TObjetoJson& Entero(std::string_view nombre, std::int64_t valor);
  TObjetoJson& Logico(std::string_view nombre, bool valor);
  TObjetoJson& Nulo(std::string_view nombre);
  // A value already written as JSON (an object or an array).
  TObjetoJson& Json(std::string_view nombre, std::string_view json);

  // The object's text, "{...}", on one line.
  std::string Texto() const { return texto_ + "}"; }

 private:
  void Clave(std::string_view nombre);
  std::string texto_ = "{";
};
