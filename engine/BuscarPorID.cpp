#include "engine/BuscarPorID.h"

#include "engine/TDHilo.h"

TDHilo* BuscarPorID(const std::vector<TDHilo*>& lista_ordenada, std::uint32_t serial) {
  std::size_t lo = 0, hi = lista_ordenada.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (lista_ordenada[mid]->GetAppRec().ID < serial) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (lo < lista_ordenada.size() && lista_ordenada[lo]->GetAppRec().ID == serial) {
    return lista_ordenada[lo];
  }
  return nullptr;
}
