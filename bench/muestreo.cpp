#include "bench/muestreo.h"

#include <algorithm>
#include <chrono>

#include "bench/sistema.h"

namespace {

constexpr auto kIntervalo = std::chrono::milliseconds(500);

}  // namespace

TMuestreo::TMuestreo(const TMedidor& medidor, double t0, std::vector<TContadores> base,
                     std::function<std::int64_t(std::size_t)> progreso, const std::string& csv)
    : medidor_(medidor), t0_(t0), base_(std::move(base)), progreso_(std::move(progreso)) {
  if (!csv.empty()) {
    csv_.open(csv);
    csv_ << "t_s,mem_available_MiB,bench_rss_MiB,dirty_writeback_MiB,farm_dirty_MiB";
    for (std::size_t i = 0; i < medidor_.Palos(); ++i) {
      csv_ << ",dev_written_MB_" << i + 1 << ",statvfs_used_MB_" << i + 1;
      if (progreso_) csv_ << ",reported_MB_" << i + 1;
    }
    csv_ << ",source_read_MB";
    for (std::size_t i = 0; i < medidor_.Palos(); ++i) csv_ << ",dev_read_MB_" << i + 1;
    csv_ << '\n';
  }
  leidos_origen_ = medidor_.LeidosOrigen();
  sucios_inicio_ = pico_sucios_ = medidor_.SuciosSistema();
  pico_granja_ = medidor_.SuciosGranja();
  hilo_ = std::thread([this] { Bucle(); });
}

TMuestreo::~TMuestreo() { Parar(); }

void TMuestreo::Parar() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    parado_ = true;
  }
  parar_.notify_all();
  if (hilo_.joinable()) hilo_.join();
}

void TMuestreo::Terminar(TResultado& r) {
  Parar();
  r.SuciosInicio = sucios_inicio_;
  r.PicoSucios = pico_sucios_;
  r.PicoSuciosGranja = pico_granja_;
  r.CpuArnes += cpu_;
}

void TMuestreo::Bucle() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!parar_.wait_for(lock, kIntervalo, [this] { return parado_; })) Muestrear();
  // One last sample, so that a copy shorter than the interval is seen at its end.
  Muestrear();
  cpu_ = SegundosCpuHilo();
}

void TMuestreo::Muestrear() {
  const std::int64_t sucios = medidor_.SuciosSistema();
  const std::int64_t granja = medidor_.SuciosGranja();
  pico_sucios_ = std::max(pico_sucios_, sucios);
  pico_granja_ = granja < 0 ? -1 : std::max(pico_granja_, granja);
  if (!csv_.is_open()) return;
  constexpr double kMiB = 1 << 20;
  csv_ << Ahora() - t0_ << ',' << Meminfo("MemAvailable") / kMiB << ',' << Residente() / kMiB
       << ',' << sucios / kMiB << ',' << granja / kMiB;
  std::vector<TContadores> palos;
  for (std::size_t i = 0; i < medidor_.Palos(); ++i) {
    palos.push_back(Diferencia(medidor_.Leer(i), base_[i]));
    csv_ << ',' << palos.back().Escritos / 1e6 << ',' << palos.back().Usados / 1e6;
    if (progreso_) csv_ << ',' << progreso_(i) / 1e6;
  }
  csv_ << ',' << (medidor_.LeidosOrigen() - leidos_origen_) / 1e6;
  for (const TContadores& c : palos) csv_ << ',' << c.Leidos / 1e6;
  csv_ << '\n';
}
