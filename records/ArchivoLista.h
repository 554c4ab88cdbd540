// A copy list's bytes read into plain records, each one checked before anything is planned from
// it: a name that could leave its volume and a size no file has are refused, and the count the
// file gives is never trusted beyond the bytes that follow it.
//
// The file: the source's volume serial, a signed 32-bit count N, then N whole records, each
// the source part (TFRec::EscribirOrigen), DNombre as a text, a signed 32-bit count D and D
// destination volume serials.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/Codificacion.h"
#include "records/TFRec.h"

// No file is this large: a size above it is a damaged or crafted record.
inline constexpr std::int64_t kTallaMaxima = std::int64_t{1} << 50;  // 1 PiB

// One record as the file holds it: Rec has no destinations; Series names them.
struct TRegistroLista {
  TFRec Rec;
  std::vector<std::uint32_t> Series;
};

// True for a name relative to a volume's root that stays below it: one or more components
// separated by backslashes, none empty, "." or "..", none holding a '/' or a NUL, and each with
// a byte form on Linux. Absolute names ("\x", "\\?\C:\x") have an empty first component.
bool NombreEnVolumen(const std::u16string& nombre);

enum class TLecturaRegistro : std::uint8_t {
  Aceptado,   // read whole and valid
  Rechazado,  // read whole, but a name or the size is refused: the next record follows
  Fallo,      // cut short or malformed (a negative or impossible count): reading ends
};

// Reads one whole record. On Fallo nothing more can be read from the stream.
TLecturaRegistro LeerRegistroLista(TLector& SM, TRegistroLista* registro);

struct TListaCopiaLeida {
  bool ConOrigen = false;  // the source serial and the count were read
  std::uint32_t Origen = 0;
  std::int32_t Cuenta = 0;                // as the file gives it
  std::vector<TRegistroLista> Registros;  // the accepted records, in file order
  std::int64_t Rechazados = 0;            // records read whole and refused
  // The count is negative, or the bytes end (or a record is malformed) before it is reached:
  // the records before that point are kept.
  bool Danada = false;
};

TListaCopiaLeida LeerListaCopia(std::string_view bytes);
