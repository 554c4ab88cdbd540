// What is really on each stick and how much written data waits in memory, read from the kernel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/granja_leida.h"

struct TContadores {
  std::int64_t Escritos = 0;  // bytes the block device completed writing (data and metadata)
  std::int64_t Leidos = 0;    // bytes the block device completed reading
  std::int64_t Usados = 0;    // statvfs: used blocks times block size
};

class TMedidor {
 public:
  explicit TMedidor(const TGranja& granja);

  std::size_t Palos() const { return palos_.size(); }
  // Any thread.
  TContadores Leer(std::size_t palo) const;
  // Bytes the source's block device completed reading since it was made.
  std::int64_t LeidosOrigen() const;
  // Dirty + Writeback of /proc/meminfo, bytes: the whole machine's.
  std::int64_t SuciosSistema() const;
  // Dirty and writeback pages of the farm's own volumes (source and sticks), bytes; -1 when the
  // per-device statistics cannot be read.
  std::int64_t SuciosGranja() const;

 private:
  std::vector<TVolumen> palos_;
  std::string origen_;  // the source's MAJ:MIN
  std::vector<std::string> estadisticas_bdi_;
};

// a - b, field by field.
TContadores Diferencia(const TContadores& a, const TContadores& b);
