#include "records/TFRec.h"

#include <algorithm>

#include "records/Tallas.h"

void TFRec::AgregarDestinos(const TFRec& FR) {
  DList.insert(DList.end(), FR.DList.begin(), FR.DList.end());
}

bool TFRec::EncontrarDestino(TIdDestino DH) const {
  return std::find(DList.rbegin(), DList.rend(), DH) != DList.rend();
}

bool TFRec::EliminarDestino(TIdDestino DH) {
  auto found = std::find(DList.rbegin(), DList.rend(), DH);
  if (found == DList.rend()) return false;
  DList.erase(std::next(found).base());
  return true;
}

bool TFRec::PriorizarDH(TIdDestino DH) {
  auto found = std::find(DList.rbegin(), DList.rend(), DH);
  if (found == DList.rend()) return false;
  std::rotate(DList.begin(), std::next(found).base(), found.base());
  return true;
}

std::int64_t TFRec::DTalla(std::uint32_t SectorSize) const {
  return RedondearTalla(SectorSize, Talla) - Desde;
}
