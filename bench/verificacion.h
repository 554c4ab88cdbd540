// The check of every copy against the source: the same entries, and for each file the same
// contents, size and last-write time (to the 100 ns of a file time).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "records/Huella.h"

struct TEntrada {
  std::filesystem::path Relativa;  // below the root the entries were listed from
  bool Carpeta = false;
  std::int64_t Talla = 0;
  std::int64_t Tiempo = 0;      // last write, in 100 ns units
  std::uint64_t Resumen = 0;    // digest of the contents
  THuella Huella;               // the engine's fingerprint of the contents (source files only)
};

struct TManifiesto {
  std::vector<TEntrada> Entradas;
  std::int64_t Bytes = 0;
  std::int64_t Archivos = 0;
  std::int64_t Carpetas = 0;
  double CpuHuellas = 0;  // CPU seconds spent in taking the fingerprints alone
};

// Problems found in a copy: the first few kept as lines, the rest counted.
class TProblemas {
 public:
  void Anotar(const std::string& problema);
  // The lines, with "and N more" last when some were only counted.
  std::vector<std::string> Lineas() const;

 private:
  std::vector<std::string> lineas_;
  std::size_t mas_ = 0;
};

// The named entries of `raiz` and everything below them, contents digested and fingerprinted.
// Throws std::filesystem_error or std::runtime_error on a read failure.
TManifiesto Inventariar(const std::filesystem::path& raiz, const std::vector<std::string>& nombres);

// What differs below `destino` from the manifest, each problem a line (the first few named, then
// a count); empty when the copy is complete and exact and holds nothing else but `propios`, the
// copying tool's own files at the root.
std::vector<std::string> Verificar(const TManifiesto& manifiesto,
                                   const std::filesystem::path& destino,
                                   const std::vector<std::filesystem::path>& propios = {});
