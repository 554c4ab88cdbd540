// Sizes and paths shared by the records, the planning and the operations.
#pragma once

#include <cstdint>
#include <string>

// The path of a name relative to the root of the drive mounted at `Montaje`: the mount point
// itself names the drive (platform/paths.h), so a path never depends on the drive's letter.
// Empty when `Montaje` is: a worker that has no drive yet reaches nothing.
std::u16string CaminoUnidad(const std::string& Montaje, const std::u16string& relativo);

// The block a file is read in. A file shorter than one is written by each destination in one
// buffered call of its exact bytes.
constexpr std::int64_t kBloque = 2 * 1024 * 1024;

// Rounds a size that is not negative up to a multiple of the sector size; 0 stays 0.
std::int64_t RedondearTalla(std::uint32_t SectorSize, std::int64_t Size);
