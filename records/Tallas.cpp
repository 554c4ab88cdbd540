#include "records/Tallas.h"

#include "platform/paths.h"

std::u16string CaminoUnidad(const std::string& Montaje, const std::u16string& relativo) {
  if (Montaje.empty()) return {};
  return platform::DriveRootPath(Montaje) + relativo;
}

std::int64_t RedondearTalla(std::uint32_t SectorSize, std::int64_t Size) {
  const std::int64_t sector = static_cast<std::int64_t>(SectorSize);
  std::int64_t q = Size / sector;
  if (Size % sector != 0) ++q;
  return q * sector;
}
