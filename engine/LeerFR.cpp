// Queuing one record of a copy list on the source worker.
#include "engine/RegistroCopia.h"
#include "engine/TDHilo.h"

bool TDHilo::LeerFR(TLector& FS, const std::vector<TDHilo*>& IDL) {
  auto FR = std::make_unique<TFRec>();
  bool con_destinos = false;
  if (!LeerTodo(*Entorno->Env, *FR, FS, IDL, &con_destinos)) return false;
  if (!con_destinos) return true;
  // The totals go in before the record: once queued, the scheduler may plan it and free it.
  // The sector size is the last refresh's, the one this worker's reads will be counted in.
  ::AddDFin(*FR, *this);
  AddDFin(FR->DTalla(GetAppRec().SectorSize));
  FList.Agregar(std::move(FR));
  Despertar();
  return true;
}
