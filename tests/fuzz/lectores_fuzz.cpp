// libFuzzer target for the readers of the program's files: whatever the bytes, every reader
// ends without a crash or an unbounded allocation, and whatever it accepts is exactly what the
// writers make of the value read (the encodings have one form per value).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "records/Codificacion.h"
#include "records/Listado.h"
#include "engine/RegistroCopia.h"
#include "records/TFRec.h"

namespace {

constexpr std::int32_t kVersion = 42563;

void Exigir(bool condicion) {
  if (!condicion) __builtin_trap();
}

// The bytes a reader took between two points.
std::string_view Tomado(std::string_view bytes, const TLector& antes, const TLector& despues) {
  return bytes.substr(bytes.size() - antes.Restante(), antes.Restante() - despues.Restante());
}

void Enteros(std::string_view bytes) {
  TLector largos(bytes);
  for (;;) {
    const TLector antes = largos;
    std::int64_t valor;
    if (!largos.LeerEntero64(&valor)) {
      // A failed read takes nothing.
      Exigir(largos.Restante() == antes.Restante() && largos.Restante() < 8);
      break;
    }
    std::string escrito;
    EscribirEntero64(escrito, valor);
    Exigir(Tomado(bytes, antes, largos) == escrito);
  }
  TLector cortos(bytes);
  for (;;) {
    const TLector antes = cortos;
    std::int32_t valor;
    if (!cortos.LeerEntero(&valor)) {
      Exigir(cortos.Restante() == antes.Restante() && cortos.Restante() < 4);
      break;
    }
    std::string escrito;
    EscribirEntero(escrito, valor);
    Exigir(Tomado(bytes, antes, cortos) == escrito);
  }
}

void Cadenas(std::string_view bytes) {
  TLector lector(bytes);
  for (;;) {
    const TLector antes = lector;
    std::u16string texto;
    if (!LeerCadena(lector, &texto)) {
      Exigir(lector.Restante() == antes.Restante() && texto.empty());
      break;
    }
    std::string escrito;
    EscribirCadena(escrito, texto);
    Exigir(Tomado(bytes, antes, lector) == escrito);
  }
}

void Origenes(std::string_view bytes) {
  TLector lector(bytes);
  for (;;) {
    const TLector antes = lector;
    TFRec rec;
    if (!rec.LeerOrigen(lector)) break;
    Exigir(rec.DNombre.empty() && rec.DList.empty());
    std::string escrito;
    rec.EscribirOrigen(escrito);
    Exigir(Tomado(bytes, antes, lector) == escrito);
  }
}

void Listado(std::string_view bytes) {
  const auto lista = LeerListadoBytes(bytes, kVersion);
  // Read back, the records are the listing's bytes from its start.
  std::string escrito;
  for (const auto& rec : lista) rec->EscribirOrigen(escrito);
  Exigir(lista.empty() || bytes.substr(8, escrito.size()) == escrito);
}

void Todos(std::string_view bytes) {
  // No worker is present: every record must read without a destination.
  TLector lector(bytes);
  for (;;) {
    TFRec rec;
    bool con_destinos = true;
    if (!LeerTodo(*platform::DefaultEnv(), rec, lector, {}, &con_destinos)) break;
    Exigir(!con_destinos && rec.DList.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t talla) {
  const std::string_view bytes(reinterpret_cast<const char*>(datos), talla);
  Enteros(bytes);
  Cadenas(bytes);
  Origenes(bytes);
  Listado(bytes);
  Todos(bytes);
  return 0;
}
