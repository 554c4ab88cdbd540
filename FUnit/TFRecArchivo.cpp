// The file forms of a record: its source part (listing files and copy lists) and the whole
// record of a copy list.

#include "DUnit/BuscarPorID.h"
#include "DUnit/TDHilo.h"
#include "FUnit/TFRec.h"

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

// Drives are named by the identity of the last device refresh (GetAppRec), the one the sorted
// worker lists are made from: a worker adopts it as its own HRec only at its next turn.
void TFRec::EscribirTodo(std::string& SM) const {
  EscribirOrigen(SM);
  EscribirCadena(SM, DNombre);
  EscribirEntero(SM, static_cast<std::int32_t>(DList.size()));
  for (const TDHilo* DH : DList) EscribirPalabra(SM, DH->GetAppRec().ID);
}

bool TFRec::LeerTodo(TLector& SM, const std::vector<TDHilo*>& DL, bool* con_destinos) {
  std::u16string destino;
  std::int32_t cuenta;
  if (!LeerOrigen(SM) || !LeerCadena(SM, &destino) || !SM.LeerEntero(&cuenta) || cuenta < 0 ||
      static_cast<std::size_t>(cuenta) > SM.Restante() / 4) {
    return false;
  }
  std::vector<std::uint32_t> series(static_cast<std::size_t>(cuenta));
  for (std::uint32_t& serie : series) SM.LeerPalabra(&serie);  // the bytes are there
  DNombre = std::move(destino);
  *con_destinos = false;
  for (std::uint32_t serie : series) {
    TDHilo* DH = BuscarPorID(DL, serie);
    // A serial named twice still gives its worker once.
    if (DH == nullptr || EncontrarDestino(DH)) continue;
    if (ArchivoIgual(CaminoUnidad(DH->GetAppRec().Letra, DNombre), Tiempo.ETiempo, Talla)) {
      continue;
    }
    DList.push_back(DH);
    *con_destinos = true;
  }
  return true;
}
