#include "records/Listado.h"

std::deque<std::unique_ptr<TFRec>> LeerListadoBytes(std::string_view bytes, std::int32_t version) {
  std::deque<std::unique_ptr<TFRec>> lista;
  TLector lector(bytes);
  std::int32_t leida, N;
  if (!lector.LeerEntero(&leida) || leida != version || !lector.LeerEntero(&N)) return lista;
  // Every record holds at least its fixed fields, so a count larger than the bytes cannot
  // make the list grow past them.
  for (std::int32_t i = 0; i < N; ++i) {
    auto rec = std::make_unique<TFRec>();
    if (!rec->LeerOrigen(lector)) break;
    lista.push_back(std::move(rec));
  }
  return lista;
}
