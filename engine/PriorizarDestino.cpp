#include <algorithm>

#include "engine/TDHilo.h"

void TDHilo::PriorizarDestino(TIdDestino DH) {
  auto cola = FList.Bloquear();
  try {
    std::stable_sort(cola->begin(), cola->end(), [](const auto& a, const auto& b) {
      return a->DList.size() > b->DList.size();
    });
    // The records for DH keep their order at the front; the others move behind them in theirs.
    std::stable_partition(cola->begin(), cola->end(),
                          [DH](const auto& rec) { return rec->PriorizarDH(DH); });
  } catch (...) {
    // The queue stays as far as it got; nothing is lost.
  }
}
