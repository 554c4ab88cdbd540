#include "bench/presupuesto_fijo.h"

#include <pthread.h>
#include <time.h>

#include <chrono>

#include "bench/sistema.h"

namespace {

constexpr auto kPeriodo = std::chrono::milliseconds(10);

}  // namespace

TPresupuestoFijo::TPresupuestoFijo(std::shared_ptr<TEntorno> entorno, std::int64_t presupuesto)
    : entorno_(std::move(entorno)), presupuesto_(presupuesto), residente_inicio_(Residente()) {
  Ajustar();
  hilo_ = std::thread([this] {
    while (!fin_.load()) {
      std::this_thread::sleep_for(kPeriodo);
      Ajustar();
    }
  });
}

TPresupuestoFijo::~TPresupuestoFijo() {
  fin_.store(true);
  hilo_.join();
}

double TPresupuestoFijo::SegundosCpu() {
  clockid_t reloj{};
  timespec t{};
  if (pthread_getcpuclockid(hilo_.native_handle(), &reloj) != 0 ||
      clock_gettime(reloj, &t) != 0) {
    return 0;
  }
  return t.tv_sec + t.tv_nsec / 1e9;
}

void TPresupuestoFijo::Ajustar() {
  entorno_->MemoriaLibre =
      Meminfo("MemAvailable") + (Residente() - residente_inicio_) - presupuesto_;
}
