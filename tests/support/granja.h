// A source volume and destination volumes, real loop-mounted ext4 file systems reached through
// a fake drive table, with a worker each: the source, and destinations of it. Records of a
// source folder are queued the way a drop queues them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/TDHilo.h"
#include "platform/drives.h"
#include "tests/support/loop_volume.h"

namespace testing_support {

class Granja {
 public:
  struct Volumen {
    unsigned sector_size = 512;
    std::int64_t size_bytes = 256LL << 20;
  };

  // Drive D is the source; E, F, ... the destinations, in the order given. The workers reach
  // the system through env.
  Granja(const Volumen& volumen_origen, const std::vector<Volumen>& volumenes_destino,
         std::shared_ptr<platform::Env> env = platform::DefaultEnv());
  ~Granja();

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  const std::string& RaizOrigen() const { return origen_->mount_point(); }
  const std::string& RaizDestino(size_t i) const { return destinos_[i]->mount_point(); }
  LoopVolume& VolumenDestino(size_t i) const { return *destinos_[i]; }

  // Queues `carpeta` (relative to the source root; "" for the root) and every entry below it,
  // in pre-order, for the destinations of the given indices (all when empty), and adds the
  // work totals.
  void Encolar(const std::string& carpeta = "", const std::vector<size_t>& para = {});
  // Waits until every worker has done all it was given and the source has nothing left.
  bool EsperarFin(std::chrono::seconds limite = std::chrono::seconds(300));

  std::shared_ptr<TEntorno> entorno;
  std::shared_ptr<TDHilo> origen;
  std::vector<std::shared_ptr<TDHilo>> destinos;

 private:
  std::unique_ptr<LoopVolume> origen_;
  std::vector<std::unique_ptr<LoopVolume>> destinos_;
  std::shared_ptr<platform::FakeDrives> drives_;
  std::string error_;
};

// Whether a name at a volume's root is none of the job's entries: the file system's
// lost+found, or the checksum file a verified job leaves.
bool NoEsDelTrabajo(const std::string& nombre_en_raiz);

// Compares two trees: the same entries with the same contents, sizes, last-write times (to the
// precision of file times) and read-only state. Empty when equal, else what differs first.
std::string CompararArboles(const std::string& a, const std::string& b);

}  // namespace testing_support
