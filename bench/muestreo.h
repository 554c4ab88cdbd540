// Samples, every half second while it lives, the dirty memory of the machine and of the farm and
// the bytes on each stick: keeps the peaks and, when asked, writes the timeline as CSV.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/medidor.h"
#include "bench/resultado.h"

class TMuestreo {
 public:
  // `base`: each stick's counters at the start. `progreso` (may be empty) gives a stick's
  // progress in bytes as the copying tool reports it; it is called from the sampling thread.
  // `csv` empty: no timeline.
  TMuestreo(const TMedidor& medidor, double t0, std::vector<TContadores> base,
            std::function<std::int64_t(std::size_t)> progreso, const std::string& csv);
  ~TMuestreo();
  TMuestreo(const TMuestreo&) = delete;
  TMuestreo& operator=(const TMuestreo&) = delete;

  // Ends the sampling and puts the dirty memory at the start and its peaks into `r`, and the
  // sampling thread's CPU time into r.CpuArnes.
  void Terminar(TResultado& r);

 private:
  void Parar();
  void Muestrear();
  void Bucle();

  const TMedidor& medidor_;
  const double t0_;
  const std::vector<TContadores> base_;
  const std::function<std::int64_t(std::size_t)> progreso_;
  std::ofstream csv_;
  std::int64_t sucios_inicio_ = 0;
  std::int64_t leidos_origen_ = 0;  // the source's device reads at the start
  std::int64_t pico_sucios_ = 0;  // written by the sampling thread until Parar()
  std::int64_t pico_granja_ = 0;  // written by the sampling thread until Parar()
  std::mutex mutex_;
  std::condition_variable parar_;
  bool parado_ = false;  // guarded by mutex_
  double cpu_ = 0;       // written by the sampling thread when it ends
  std::thread hilo_;
};
