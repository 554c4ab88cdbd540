// Files of pseudo-random contents for copy tests, the same for the same seed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <random>
#include <string>
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

// A whole file's bytes (empty when it cannot be read).
inline std::string Leer(const std::filesystem::path& ruta) {
  std::ifstream archivo(ruta, std::ios::binary);
  return {std::istreambuf_iterator<char>(archivo), std::istreambuf_iterator<char>()};
}

// A file with exactly `bytes`, its folders made first.
inline void Escribir(const std::filesystem::path& ruta, const std::string& bytes) {
  std::filesystem::create_directories(ruta.parent_path());
  std::ofstream(ruta, std::ios::binary | std::ios::trunc) << bytes;
}

// Whether two files hold the same bytes (false when either cannot be read).
inline bool MismoContenido(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

}  // namespace testing_support
