// Sizes and paths shared by the records, the planning and the operations.
#pragma once

#include <cstdint>
#include <string>

// "\\?\X:\" + a path relative to the root of drive X.
std::u16string CaminoUnidad(char16_t Letra, const std::u16string& relativo);

// Rounds a size that is not negative up to a multiple of the sector size; 0 stays 0.
std::int64_t RedondearTalla(std::uint32_t SectorSize, std::int64_t Size);
