// Files of pseudo-random contents for copy tests, the same for the same seed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace testing_support {

inline void EscribirAzar(const std::filesystem::path& ruta, std::int64_t talla, unsigned semilla) {
  std::filesystem::create_directories(ruta.parent_path());
  std::ofstream salida(ruta, std::ios::binary);
  std::mt19937 azar(semilla);
  std::vector<char> bloque(1 << 16);
  for (std::int64_t escrito = 0; escrito < talla;) {
    for (auto& c : bloque) c = static_cast<char>(azar());
    const auto n = static_cast<std::streamsize>(
        std::min<std::int64_t>(talla - escrito, static_cast<std::int64_t>(bloque.size())));
    salida.write(bloque.data(), n);
    escrito += n;
  }
}

}  // namespace testing_support
