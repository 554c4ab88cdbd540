// The whole record of a copy list (the source part, the destination name and the destinations'
// volume serials) and the work totals of a queued record.
#include "engine/RegistroCopia.h"

#include "engine/BuscarPorID.h"
#include "engine/TDHilo.h"

void AddDFin(const TFRec& FR, const TDHilo& OD) {
  for (TIdDestino id : FR.DList) {
    if (const std::shared_ptr<TDHilo> DH = OD.Destino(id)) {
      DH->AddDFin(RedondearTalla(DH->GetAppRec().SectorSize, FR.Talla), 1);
    }
  }
}

// Drives are named by the identity of the last device refresh (GetAppRec), the one the sorted
// worker lists are made from: a worker adopts it as its own HRec only at its next turn.
void EscribirTodo(const TFRec& FR, const TDHilo& OD, std::string& SM) {
  std::vector<std::uint32_t> series;
  for (TIdDestino id : FR.DList) {
    if (const std::shared_ptr<TDHilo> DH = OD.Destino(id)) series.push_back(DH->GetAppRec().ID);
  }
  FR.EscribirOrigen(SM);
  EscribirCadena(SM, FR.DNombre);
  EscribirEntero(SM, static_cast<std::int32_t>(series.size()));
  for (std::uint32_t serie : series) EscribirPalabra(SM, serie);
}

bool LeerTodo(platform::Env& env, TFRec& FR, TLector& SM, const std::vector<TDHilo*>& DL,
              bool* con_destinos) {
  std::u16string destino;
  std::int32_t cuenta;
  if (!FR.LeerOrigen(SM) || !LeerCadena(SM, &destino) || !SM.LeerEntero(&cuenta) || cuenta < 0 ||
      static_cast<std::size_t>(cuenta) > SM.Restante() / 4) {
    return false;
  }
  std::vector<std::uint32_t> series(static_cast<std::size_t>(cuenta));
  for (std::uint32_t& serie : series) SM.LeerPalabra(&serie);  // the bytes are there
  FR.DNombre = std::move(destino);
  *con_destinos = false;
  for (std::uint32_t serie : series) {
    TDHilo* DH = BuscarPorID(DL, serie);
    // A serial named twice still gives its worker once.
    if (DH == nullptr || FR.EncontrarDestino(DH->GetId())) continue;
    if (ArchivoIgual(env, CaminoUnidad(DH->GetAppRec().Montaje, FR.DNombre), FR.Tiempo.ETiempo,
                     FR.Talla)) {
      continue;
    }
    FR.DList.push_back(DH->GetId());
    *con_destinos = true;
  }
  return true;
}
