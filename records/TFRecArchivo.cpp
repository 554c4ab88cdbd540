// The file form of a record's source part, as listing files and copy lists hold it.

#include "records/TFRec.h"

void TFRec::EscribirOrigen(std::string& SM) const {
  EscribirCadena(SM, ONombre);
  EscribirEntero64(SM, Talla);
  // A file time is its low 32 bits then its high 32 bits: the little-endian 64-bit form.
  EscribirEntero64(SM, static_cast<std::int64_t>(Tiempo.CTiempo));
  EscribirEntero64(SM, static_cast<std::int64_t>(Tiempo.LTiempo));
  EscribirEntero64(SM, static_cast<std::int64_t>(Tiempo.ETiempo));
  EscribirPalabra(SM, Atributos);
}

bool TFRec::LeerOrigen(TLector& SM) {
  std::u16string nombre;
  std::int64_t talla, creacion, acceso, escritura;
  std::uint32_t atributos;
  if (!LeerCadena(SM, &nombre) || !SM.LeerEntero64(&talla) || !SM.LeerEntero64(&creacion) ||
      !SM.LeerEntero64(&acceso) || !SM.LeerEntero64(&escritura) || !SM.LeerPalabra(&atributos)) {
    return false;
  }
  ONombre = std::move(nombre);
  Talla = talla;
  Tiempo.CTiempo = static_cast<platform::FileTime>(creacion);
  Tiempo.LTiempo = static_cast<platform::FileTime>(acceso);
  Tiempo.ETiempo = static_cast<platform::FileTime>(escritura);
  Atributos = atributos;
  return true;
}
