// Writes to a block device slowed to a rate, as a slow USB stick writes, for a process that must
// be caught in the middle of a copy: the blkio controller of cgroup v1 on the root group (the
// bench's farm does the same, bench/granja.sh). Where the machine has no such controller
// nothing is slowed, and Activo() says so.
#pragma once

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace testing_support {

class LimiteEscritura {
 public:
  LimiteEscritura(const std::string& dispositivo, std::uint64_t bytes_segundo) {
    struct stat datos;
    if (stat(dispositivo.c_str(), &datos) != 0 || !S_ISBLK(datos.st_mode)) return;
    numero_ = std::to_string(major(datos.st_rdev)) + ":" + std::to_string(minor(datos.st_rdev));
    activo_ = Escribir(std::to_string(bytes_segundo));
  }
  ~LimiteEscritura() {
    if (activo_) Escribir("0");
  }
  LimiteEscritura(const LimiteEscritura&) = delete;
  LimiteEscritura& operator=(const LimiteEscritura&) = delete;

  bool Activo() const { return activo_; }

 private:
  bool Escribir(const std::string& valor) const {
    std::ofstream archivo(kArchivo);
    if (!archivo) return false;
    archivo << numero_ << " " << valor << "\n";
    archivo.flush();
    return static_cast<bool>(archivo);
  }

  static constexpr const char* kArchivo = "/sys/fs/cgroup/blkio/blkio.throttle.write_bps_device";
  std::string numero_;
  bool activo_ = false;
};

}  // namespace testing_support
