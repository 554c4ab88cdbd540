#include "records/Tallas.h"

std::u16string CaminoUnidad(char16_t Letra, const std::u16string& relativo) {
  return std::u16string(u"\\\\?\\") + Letra + u":\\" + relativo;
}

std::int64_t RedondearTalla(std::uint32_t SectorSize, std::int64_t Size) {
  const std::int64_t sector = static_cast<std::int64_t>(SectorSize);
  std::int64_t q = Size / sector;
  if (Size % sector != 0) ++q;
  return q * sector;
}
