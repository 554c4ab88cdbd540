// Drives for window tests: temporary folders installed as the drive table while the object
// lives, so that the window's device refresh finds exactly the drives a test puts.
#pragma once

#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/drives.h"

class TUnidadesPrueba {
 public:
  TUnidadesPrueba() : previa_(platform::CurrentDrives()), tabla_(platform::MakeFakeDrives()) {
    platform::SetDrives(tabla_);
  }
  ~TUnidadesPrueba() { platform::SetDrives(previa_); }
  TUnidadesPrueba(const TUnidadesPrueba&) = delete;
  TUnidadesPrueba& operator=(const TUnidadesPrueba&) = delete;

  void Poner(char16_t letra, std::uint32_t serie, const std::u16string& etiqueta) {
    carpetas_.push_back(std::make_unique<QTemporaryDir>());
    platform::FakeDrive unidad;
    unidad.Letter = letra;
    unidad.Directory = carpetas_.back()->path().toStdString();
    unidad.Label = etiqueta;
    unidad.Serial = serie;
    tabla_->Put(unidad);
  }

 private:
  std::shared_ptr<platform::Drives> previa_;
  std::shared_ptr<platform::FakeDrives> tabla_;
  std::vector<std::unique_ptr<QTemporaryDir>> carpetas_;
};
