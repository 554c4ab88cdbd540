#include "bench/medidor.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "bench/sistema.h"

namespace {

struct TSectores {
  std::int64_t Leidos = 0;
  std::int64_t Escritos = 0;
};

// Sectors read and written: the 3rd and 7th fields of a block device's stat file, always in
// 512-byte units.
TSectores Sectores(const std::string& majmin) {
  std::ifstream archivo("/sys/dev/block/" + majmin + "/stat");
  std::int64_t campo[7] = {};
  for (auto& c : campo) archivo >> c;
  if (!archivo) throw std::runtime_error("cannot read the stat file of block device " + majmin);
  return {campo[2], campo[6]};
}

std::int64_t BytesUsados(const std::string& montaje) {
  struct statvfs datos{};
  if (statvfs(montaje.c_str(), &datos) != 0) {
    throw std::runtime_error("statvfs " + montaje + ": " + std::strerror(errno));
  }
  return static_cast<std::int64_t>(datos.f_blocks - datos.f_bfree) *
         static_cast<std::int64_t>(datos.f_frsize);
}

// BdiReclaimable (dirty) plus BdiWriteback of one device's statistics, bytes; -1 if unreadable.
std::int64_t SuciosBdi(const std::string& ruta) {
  std::ifstream archivo(ruta);
  if (!archivo) return -1;
  std::int64_t total = 0;
  std::string linea;
  while (std::getline(archivo, linea)) {
    std::istringstream campos(linea);
    std::string nombre;
    std::int64_t kb = 0;
    campos >> nombre >> kb;
    if (nombre == "BdiReclaimable:" || nombre == "BdiWriteback:") total += kb * 1024;
  }
  return total;
}

}  // namespace

TMedidor::TMedidor(const TGranja& granja) : palos_(granja.Palos), origen_(granja.Origen.MajMin) {
  estadisticas_bdi_.push_back(granja.Origen.DebugFs + "/bdi/" + granja.Origen.MajMin + "/stats");
  for (const auto& palo : palos_) {
    estadisticas_bdi_.push_back(palo.DebugFs + "/bdi/" + palo.MajMin + "/stats");
  }
}

TContadores TMedidor::Leer(std::size_t palo) const {
  const TSectores s = Sectores(palos_.at(palo).MajMin);
  return {s.Escritos * 512, s.Leidos * 512, BytesUsados(palos_.at(palo).Montaje)};
}

std::int64_t TMedidor::LeidosOrigen() const { return Sectores(origen_).Leidos * 512; }

std::int64_t TMedidor::SuciosSistema() const { return Meminfo("Dirty") + Meminfo("Writeback"); }

std::int64_t TMedidor::SuciosGranja() const {
  std::int64_t total = 0;
  for (const auto& ruta : estadisticas_bdi_) {
    const std::int64_t sucios = SuciosBdi(ruta);
    if (sucios < 0) return -1;
    total += sucios;
  }
  return total;
}

TContadores Diferencia(const TContadores& a, const TContadores& b) {
  return {a.Escritos - b.Escritos, a.Leidos - b.Leidos, a.Usados - b.Usados};
}
