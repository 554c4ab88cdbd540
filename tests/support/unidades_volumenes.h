// Real loop-mounted ext4 volumes given to the program as the drives of a fake drive table, with
// the names, labels, serials and sector sizes a test chooses; and the wait for the workers to
// finish what they were given.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/TDHilo.h"
#include "platform/drives.h"
#include "tests/support/esperar.h"
#include "tests/support/loop_volume.h"

namespace testing_support {

class UnidadesEnVolumenes {
 public:
  struct Unidad {
    std::u16string letra;  // empty: the table names it, in the order given
    std::u16string etiqueta;
    std::uint32_t serie;
    unsigned sector_size = 512;
  };

  explicit UnidadesEnVolumenes(const std::vector<Unidad>& unidades) {
    if (!LoopVolume::Available()) {
      error_ = "needs root and loop devices";
      return;
    }
    tabla_ = platform::MakeFakeDrives();
    for (const Unidad& u : unidades) {
      LoopVolume::Options opciones;
      opciones.sector_size = u.sector_size;
      auto volumen = std::make_unique<LoopVolume>(opciones);
      if (!volumen->ok()) {
        error_ = volumen->error();
        return;
      }
      const std::u16string letra = tabla_->Put({u.letra, volumen->mount_point(), u.etiqueta,
                                                u.serie, platform::DRIVE_REMOVABLE,
                                                u.sector_size, true});
      letras_.push_back(letra);
      volumenes_[letra] = std::move(volumen);
    }
    platform::SetDrives(tabla_);
  }
  ~UnidadesEnVolumenes() {
    if (tabla_) platform::SetDrives(nullptr);
  }
  UnidadesEnVolumenes(const UnidadesEnVolumenes&) = delete;
  UnidadesEnVolumenes& operator=(const UnidadesEnVolumenes&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // The names the table gave, in the order of the drives given.
  const std::vector<std::u16string>& Letras() const { return letras_; }
  // The Linux folder of a drive's root.
  std::filesystem::path Raiz(const std::u16string& letra) const {
    return volumenes_.at(letra)->mount_point();
  }
  // The stick pulled: its mount detached at once (whoever holds a folder of it goes on using
  // it) and the drive gone from the table.
  bool Quitar(const std::u16string& letra) {
    if (!volumenes_.at(letra)->UnmountLazily()) return false;
    tabla_->Remove(letra);
    return true;
  }
  // Plugged in again: mounted at a new folder, which Raiz gives from then on (the table is not
  // told).
  bool Volver(const std::u16string& letra) { return volumenes_.at(letra)->Remount(); }
  // Writes refused from now on (a write-protected stick), or allowed again.
  bool SoloLectura(const std::u16string& letra, bool si) const {
    return RunCommand(std::string("mount -o remount,") + (si ? "ro " : "rw ") +
                      volumenes_.at(letra)->mount_point());
  }

 private:
  std::shared_ptr<platform::FakeDrives> tabla_;
  std::vector<std::u16string> letras_;
  std::map<std::u16string, std::unique_ptr<LoopVolume>> volumenes_;
  std::string error_;
};

// Waits until every worker has taken on the identity the last refresh gave it (it does so at the
// end of a turn): work handed to it before then would be sized by its old sector size.
inline bool EsperarIdentidades(const std::vector<std::shared_ptr<TDHilo>>& hilos) {
  return Esperar([&] {
    for (const auto& hilo : hilos) {
      const THRec propia = hilo->GetHRec(), dada = hilo->GetAppRec();
      if (propia.Letra != dada.Letra || propia.Montaje != dada.Montaje ||
          propia.SectorSize != dada.SectorSize) {
        return false;
      }
    }
    return true;
  });
}

// Waits until every worker has folded in the totals it was given and done them all. Two turns
// first: a turn that was under way when the work was given may still report the idle state it
// saw before.
inline bool EsperarTrabajos(const std::vector<std::shared_ptr<TDHilo>>& hilos,
                            std::chrono::seconds limite = std::chrono::seconds(300)) {
  std::vector<std::pair<std::shared_ptr<TDHilo>, std::uint64_t>> vueltas;
  for (const auto& hilo : hilos) vueltas.emplace_back(hilo, hilo->GetVueltas());
  return Esperar(
      [&] {
        for (const auto& [hilo, antes] : vueltas) {
          // Every byte written is not the end: a copy is complete once renamed, and a
          // destination once synced.
          const TEstado estado = hilo->GetEstado();
          if (hilo->GetVueltas() < antes + 2 || !hilo->EnReposo() ||
              hilo->GetDPos() != hilo->GetDFin() || estado == TEstado::EnCola ||
              estado == TEstado::Escribiendo || estado == TEstado::Sincronizando ||
              estado == TEstado::Verificando) {
            return false;
          }
        }
        return true;
      },
      limite);
}

}  // namespace testing_support
