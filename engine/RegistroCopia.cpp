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
