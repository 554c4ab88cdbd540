// The farm as granja.sh describes it in its "granja" file: the source volume and the sticks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TVolumen {
  std::string Label;
  std::string Montaje;      // mount point
  std::string MajMin;       // "7:3", the block device's numbers
  std::int64_t BpsEscritura = 0;  // write limit, bytes per second; 0: none
  std::int64_t BpsLectura = 0;    // read limit, bytes per second; 0: none
  // An unthrottled stick's write rate as measured by dd on every stick at once (bench_copia's
  // --mbps-dd, not in the farm's file); 0: not measured.
  std::int64_t BpsMedida = 0;
  std::uint32_t Sector = 512;
  std::string DebugFs;      // where debugfs is mounted (per-device dirty pages)
};

struct TGranja {
  TVolumen Origen;
  std::vector<TVolumen> Palos;
};

// Throws std::runtime_error naming the file and line when the file is unreadable or malformed,
// or holds no source or no stick.
TGranja LeerGranja(const std::string& ruta);
