#include "FUnit/TFRec.h"

#include <algorithm>

bool TFRec::EliminarDestino(TDHilo* DH) {
  auto found = std::find(DList.begin(), DList.end(), DH);
  if (found == DList.end()) return false;
  DList.erase(found);
  return true;
}
