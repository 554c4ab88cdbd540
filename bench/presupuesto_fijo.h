// Holds the engine to a fixed memory budget on a machine shared with others. The engine
// allocates a buffer while MemAvailable exceeds MemoriaLibre, so what it may take follows every
// other process's use; this keeps MemoriaLibre at MemAvailable plus the engine's growth since
// the start minus the budget, as a user of a quiet machine would have it, every few ms while it
// lives.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "engine/TEntorno.h"

class TPresupuestoFijo {
 public:
  TPresupuestoFijo(std::shared_ptr<TEntorno> entorno, std::int64_t presupuesto);
  ~TPresupuestoFijo();
  // CPU seconds of its thread so far.
  double SegundosCpu();
  TPresupuestoFijo(const TPresupuestoFijo&) = delete;
  TPresupuestoFijo& operator=(const TPresupuestoFijo&) = delete;

 private:
  void Ajustar();

  const std::shared_ptr<TEntorno> entorno_;
  const std::int64_t presupuesto_;
  const std::int64_t residente_inicio_;
  std::atomic<bool> fin_{false};
  std::thread hilo_;
};
